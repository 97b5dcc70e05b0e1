// The work's variables: numeric variables (32-bit signed) and string variables (one
// line of Shift-JIS text), both kept as name=value lists whose names ignore ASCII
// letter case, plus the read-only system values named with a leading "@" (random
// number, date and time, elapsed time, versions, the package's name and any header
// setting of the scenario). `Get_Text` replaces "$name$" and "%name%" references in a
// text; `Get_Value` turns an operand into a number.
#pragma once

#include "system/icm_sub.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace narvo {

class IClock;
class IDialogs;
struct PkgReader;
struct PkgWriter;
class TNarvoFile;
class TRandom;

class TVariableCtrl {
public:
    // Save entry names of the two lists.
    static constexpr const char* ValueEntryName = "valuevar.info";
    static constexpr const char* StringEntryName = "stringvar.info";

    // The elapsed time counts from construction.
    TVariableCtrl(IDialogs& Dialogs, IClock& Clock, TRandom& Random);

    void SetNarvoFile(TNarvoFile* NarvoFile) { NarvoFile_ = NarvoFile; }
    void SetScriptFile(std::string_view Name) { ScriptFile_.assign(Name); }
    const std::string& ScriptFile() const { return ScriptFile_; }

    // "%name%" reads the variable; anything else is read as an integer literal (0 when
    // it is none).
    int32_t Get_Value(std::string_view Operand);
    // The text with every "$name$" and then every "%name%" replaced. Unbalanced markers
    // give the parse-error message in place of the text.
    std::string Get_Text(std::string_view Text);
    // `VarName` is "%name%" / "$name$"; another first character is reported and nothing
    // is stored. Names beginning with "@" are ignored.
    void Set_Value(std::string_view VarName, int32_t Value);
    void Set_Text(std::string_view VarName, std::string_view Text);

    int32_t Read_Value(std::string_view Name);
    std::string Read_Text(std::string_view Name);
    void Write_Value(std::string_view Name, int32_t Value);
    void Write_Text(std::string_view Name, std::string_view Text);
    int32_t System_Value(std::string_view Name);
    std::string System_Text(std::string_view Name);

    // Append every line of the list, in order (the debug window's views).
    void Copy_Values(TStringList& List) const;
    void Copy_Texts(TStringList& List) const;

    // Writes the entries "valuevar.info" and then "stringvar.info"; false when a write
    // failed.
    bool SaveInfo(PkgWriter& Writer) const;
    // Reads both entries back; a list whose entry the file lacks stays as it was.
    bool LoadInfo(PkgReader& Reader);

    // The save entries' contents: the list's lines, each followed by CR LF.
    std::string ValueInfoText() const { return StringListToText(ValueFlags_); }
    std::string StringInfoText() const { return StringListToText(StringFlags_); }
    // An entry read back replaces its whole list.
    void LoadValueInfoText(std::string_view Text) { ValueFlags_ = TextToStringList(Text); }
    void LoadStringInfoText(std::string_view Text) { StringFlags_ = TextToStringList(Text); }

    const TStringList& ValueFlags() const { return ValueFlags_; }
    const TStringList& StringFlags() const { return StringFlags_; }
    int32_t RandomFlagMax() const { return RandomFlagMax_; }
    uint32_t StartTick() const { return StartTick_; }

private:
    // Section and key of a "@" section ":" key setting reference.
    void SplitSettingName(std::string_view Name, std::string_view& Section,
                          std::string_view& Key) const;

    IDialogs& Dialogs_;
    IClock& Clock_;
    TRandom& Random_;
    TNarvoFile* NarvoFile_ = nullptr;
    TStringList ValueFlags_;
    TStringList StringFlags_;
    std::string ScriptFile_ = "unknown file";
    int32_t RandomFlagMax_ = 1000;
    uint32_t StartTick_ = 0;
};

} // namespace narvo

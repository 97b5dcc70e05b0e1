#include "vars/var_ctrl.h"

#include "data/cf2_ctrl.h"
#include "data/pkg.h"
#include "platform/encoding.h"
#include "platform/platform.h"
#include "system/random.h"

#include <array>

namespace narvo {

namespace {

// Fixed Shift-JIS texts of this unit, converted once.
struct TSjisNames {
    std::string Random = Utf8ToSjis("@乱数");
    std::string Elapsed = Utf8ToSjis("@経過時間");
    std::string YearMonthDay = Utf8ToSjis("@年月日");
    std::string Year = Utf8ToSjis("@年");
    std::string Month = Utf8ToSjis("@月");
    std::string Day = Utf8ToSjis("@日");
    std::string HourMinuteSecond = Utf8ToSjis("@時分秒");
    std::string Hour = Utf8ToSjis("@時");
    std::string Minute = Utf8ToSjis("@分");
    std::string Second = Utf8ToSjis("@秒");
    std::string DayOfWeek = Utf8ToSjis("@曜日");
    std::array<std::string, 7> WeekDays = {Utf8ToSjis("日"), Utf8ToSjis("月"), Utf8ToSjis("火"),
                                           Utf8ToSjis("水"), Utf8ToSjis("木"), Utf8ToSjis("金"),
                                           Utf8ToSjis("土")};
    std::string DollarError = Utf8ToSjis("メッセージ解析エラー：\"$\"の数が合いません。");
    std::string PercentError = Utf8ToSjis("メッセージ解析エラー：\"%\"の数が合いません。");
};

const TSjisNames& Names() {
    static const TSjisNames Instance;
    return Instance;
}

constexpr int32_t kVersion = 3110;
constexpr int32_t kCommandVersion = 19;

// The name inside a variable-name text or an operand: without its first and its last
// character (only the first is checked to be the marker).
std::string_view InnerName(std::string_view Marked) {
    if (Marked.size() < 2) return {};
    return Marked.substr(1, Marked.size() - 2);
}

// One substitution pass for `Marker`; false when a marker has no partner.
template <typename TLookup>
bool SubstitutePass(std::string_view Rest, char Marker, std::string& Result, TLookup&& Lookup) {
    for (;;) {
        size_t Open = Rest.find(Marker);
        if (Open == std::string_view::npos) break;
        Result.append(Rest.substr(0, Open));
        Rest.remove_prefix(Open + 1);
        size_t Close = Rest.find(Marker);
        if (Close == std::string_view::npos) return false;
        Lookup(Rest.substr(0, Close), Result);
        Rest.remove_prefix(Close + 1);
    }
    Result.append(Rest);
    return true;
}

} // namespace

TVariableCtrl::TVariableCtrl(IDialogs& Dialogs, IClock& Clock, TRandom& Random)
    : Dialogs_(Dialogs), Clock_(Clock), Random_(Random), StartTick_(Clock.TickCount()) {}

// --- References ------------------------------------------------------------------------

int32_t TVariableCtrl::Get_Value(std::string_view Operand) {
    if (!Operand.empty() && Operand[0] == '%') return Read_Value(InnerName(Operand));
    return TextToInt(Operand, 0);
}

std::string TVariableCtrl::Get_Text(std::string_view Text) {
    // Fast path: most texts hold no reference at all.
    if (Text.find_first_of("$%") == std::string_view::npos) return std::string(Text);

    std::string First;
    First.reserve(Text.size());
    bool Ok = SubstitutePass(Text, '$', First, [this](std::string_view Name, std::string& Out) {
        Out.append(Read_Text(Name));
    });
    if (!Ok) return Names().DollarError;

    // Text put in by the "$" pass is scanned again here; numbers put in now are not.
    std::string Second;
    Second.reserve(First.size());
    Ok = SubstitutePass(First, '%', Second, [this](std::string_view Name, std::string& Out) {
        Out.append(IntToText(Read_Value(Name)));
    });
    if (!Ok) return Names().PercentError;
    return Second;
}

void TVariableCtrl::Set_Value(std::string_view VarName, int32_t Value) {
    if (VarName.empty() || VarName[0] != '%') {
        std::string Message = "debug - TVariableCtrl::Set_Value()\r\nsyntax error : VarName=";
        Message.append(VarName);
        Dialogs_.MessageBox(TDialogKind::Plain, TDialogButtons::Ok, Message);
        return;
    }
    Write_Value(InnerName(VarName), Value);
}

void TVariableCtrl::Set_Text(std::string_view VarName, std::string_view Text) {
    if (VarName.empty() || VarName[0] != '$') {
        std::string Message = "debug - TVariableCtrl::Set_Text()\r\nsyntax error : VarName=";
        Message.append(VarName);
        Dialogs_.MessageBox(TDialogKind::Plain, TDialogButtons::Ok, Message);
        return;
    }
    Write_Text(InnerName(VarName), Text);
}

// --- Variables -------------------------------------------------------------------------

int32_t TVariableCtrl::Read_Value(std::string_view Name) {
    if (!Name.empty() && Name[0] == '@') return System_Value(Name);
    return ReadListInteger(ValueFlags_, Name, 0);
}

std::string TVariableCtrl::Read_Text(std::string_view Name) {
    if (!Name.empty() && Name[0] == '@') return System_Text(Name);
    return ReadListString(StringFlags_, Name, "");
}

void TVariableCtrl::Write_Value(std::string_view Name, int32_t Value) {
    if (!Name.empty() && Name[0] == '@') return;
    WriteListInteger(ValueFlags_, Name, Value);
}

void TVariableCtrl::Write_Text(std::string_view Name, std::string_view Text) {
    if (!Name.empty() && Name[0] == '@') return;
    WriteListString(StringFlags_, Name, Text);
}

void TVariableCtrl::Copy_Values(TStringList& List) const {
    List.insert(List.end(), ValueFlags_.begin(), ValueFlags_.end());
}

void TVariableCtrl::Copy_Texts(TStringList& List) const {
    List.insert(List.end(), StringFlags_.begin(), StringFlags_.end());
}

bool TVariableCtrl::SaveInfo(PkgWriter& Writer) const {
    bool Ok = pkg_write_strings(Writer, ValueFlags_, ValueEntryName);
    // The second entry is written even after a failed first one, so that the save file
    // is as complete as it can be; the caller learns of the failure either way.
    Ok = pkg_write_strings(Writer, StringFlags_, StringEntryName) && Ok;
    return Ok;
}

bool TVariableCtrl::LoadInfo(PkgReader& Reader) {
    pkg_load_strings(ValueEntryName, ValueFlags_, Reader);
    pkg_load_strings(StringEntryName, StringFlags_, Reader);
    return true;
}

// --- System values ---------------------------------------------------------------------

void TVariableCtrl::SplitSettingName(std::string_view Name, std::string_view& Section,
                                     std::string_view& Key) const {
    size_t Colon = Name.find(':');
    if (Colon == std::string_view::npos) {
        // No ":": an empty section and the whole name, "@" included, as the key.
        Section = {};
        Key = Name;
        return;
    }
    Section = Name.substr(1, Colon - 1);
    Key = Name.substr(Colon + 1);
}

int32_t TVariableCtrl::System_Value(std::string_view Name) {
    const TSjisNames& N = Names();
    if (Name == N.Random) return Random_.Next() % RandomFlagMax_;
    if (Name == N.Elapsed) {
        // Unsigned difference: right across the wrap of the 32-bit tick count.
        uint32_t Span = Clock_.TickCount() - StartTick_;
        return static_cast<int32_t>(Span / 1000u);
    }
    if (Name == N.YearMonthDay || Name == N.Year || Name == N.Month || Name == N.Day ||
        Name == N.HourMinuteSecond || Name == N.Hour || Name == N.Minute || Name == N.Second) {
        const TLocalTime T = Clock_.Now();
        if (Name == N.YearMonthDay) return T.Year * 10000 + T.Month * 100 + T.Day;
        if (Name == N.Year) return T.Year;
        if (Name == N.Month) return T.Month;
        if (Name == N.Day) return T.Day;
        if (Name == N.HourMinuteSecond) return T.Hour * 10000 + T.Minute * 100 + T.Second;
        if (Name == N.Hour) return T.Hour;
        if (Name == N.Minute) return T.Minute;
        return T.Second;
    }
    if (Name == "@Version") return kVersion;
    if (Name == "@CommandVersion") return kCommandVersion;
    if (NarvoFile_ == nullptr) return 0;
    std::string_view Section, Key;
    SplitSettingName(Name, Section, Key);
    return NarvoFile_->ReadInteger(Section, Key, 0);
}

std::string TVariableCtrl::System_Text(std::string_view Name) {
    const TSjisNames& N = Names();
    if (Name == N.DayOfWeek) {
        const TLocalTime T = Clock_.Now();
        int Day = (T.DayOfWeek % 7 + 7) % 7;
        return N.WeekDays[static_cast<size_t>(Day)];
    }
    if (Name == "@ScriptFile") return ScriptFile_;
    if (NarvoFile_ == nullptr) return {};
    std::string_view Section, Key;
    SplitSettingName(Name, Section, Key);
    return NarvoFile_->ReadString(Section, Key, "");
}

} // namespace narvo

// Variable substitution: `Get_Text`, `Get_Value` and the variable-name writes over
// variables taken from the input and settings of a small scenario.
#include "data/cf2_ctrl.h"
#include "platform/platform.h"
#include "system/random.h"
#include "vars/var_ctrl.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace {

class TFirstButtonDialogs final : public narvo::IDialogs {
public:
    narvo::TDialogResult MessageBox(narvo::TDialogKind, narvo::TDialogButtons Buttons,
                                    std::string_view, std::string_view) override {
        return narvo::DialogButtonList(Buttons).front();
    }
    std::optional<std::string> InputBox(std::string_view, std::string_view,
                                        std::string_view Proposed) override {
        return std::string(Proposed);
    }
};

class TFixedClock final : public narvo::IClock {
public:
    uint32_t TickCount() const override { return Tick; }
    narvo::TLocalTime Now() const override { return {2007, 3, 5, 9, 30, 5, 0, 1}; }
    void Sleep(uint32_t Ms) override { Tick += Ms; }
    uint32_t Tick = 0xFFFFF000u;
};

// Takes the text up to the next NUL (or the end) off the front of `Input`.
std::string_view NextPart(std::string_view& Input) {
    size_t Nul = Input.find('\0');
    std::string_view Part = Input.substr(0, Nul);
    Input = Nul == std::string_view::npos ? std::string_view{} : Input.substr(Nul + 1);
    return Part;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
    using namespace narvo;
    static TFirstButtonDialogs Dialogs;
    static TFixedClock Clock;
    static TRandom Random(1);
    static TNarvoFile* Scenario = [] {
        auto* File = new TNarvoFile(Dialogs);
        File->LoadFromStream("///\r\n<Head=\"Narvo\">\r\nStartPage=%a%$b$\r\nCount=12\r\n"
                             "<Head End>\r\n<Head=\"\">\r\n@x=%\r\n<Head End>\r\n");
        return File;
    }();

    // The input is: text to substitute, NUL, numeric variables, NUL, string variables
    // (each a list of name=value lines).
    std::string_view Input(reinterpret_cast<const char*>(Data), Size);
    std::string_view Text = NextPart(Input);
    std::string_view Values = NextPart(Input);
    std::string_view Strings = NextPart(Input);

    TVariableCtrl Vars(Dialogs, Clock, Random);
    Vars.SetNarvoFile(Scenario);
    Vars.LoadValueInfoText(Values);
    Vars.LoadStringInfoText(Strings);

    std::string Result = Vars.Get_Text(Text);
    (void)Vars.Get_Value(Text);
    Vars.Set_Value(Text, 7);
    Vars.Set_Text(Text, Result);
    (void)Vars.Get_Text(Result);
    // The lists must still read back as what was written.
    TStringList Copy;
    Vars.Copy_Values(Copy);
    Vars.Copy_Texts(Copy);
    (void)Vars.ValueInfoText();
    (void)Vars.StringInfoText();
    return 0;
}

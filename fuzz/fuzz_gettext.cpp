// Variable substitution: `Get_Text`, `Get_Value` and the variable-name writes over
// variables taken from the input and settings of a small scenario.
#include "data/cf2_ctrl.h"
#include "fuzz_support.h"
#include "platform/platform.h"
#include "system/random.h"
#include "vars/var_ctrl.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace {

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
    static fuzz::TFirstButtonDialogs Dialogs;
    static fuzz::TFixedClock Clock(0xFFFFF000u);
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

// Command handlers of the main window: flow control ("@if", "@else", "@endif",
// "@Move", "@Call", "@Return") and variables ("@ValueCtrl", "@StringCtrl").
#include "app/rtm_main.h"

#include "platform/encoding.h"

#include <string_view>

namespace narvo {

namespace {

bool CompareValues(std::string_view Word, int32_t A, int32_t B) {
    if (Word == "Equal") return A == B;
    if (Word == "Unequal") return A != B;
    if (Word == "Up") return A < B;
    if (Word == "Down") return A > B;
    if (Word == "UpEqual") return A <= B;
    if (Word == "DownEqual") return A >= B;
    return false;
}

bool CompareTexts(std::string_view Word, const std::string& S, const std::string& T) {
    if (Word == "Equal") return S == T;
    if (Word == "Unequal") return S != T;
    if (Word == "in") return !T.empty() && S.find(T) != std::string::npos;
    return false;
}

// Signed 32-bit arithmetic that wraps on overflow, as the works expect. Division of
// the smallest value by -1 wraps to itself, and its remainder is 0.
std::optional<int32_t> Calculate(std::string_view Word, int32_t L, int32_t R) {
    auto Wrap = [](int64_t V) { return static_cast<int32_t>(static_cast<uint32_t>(V)); };
    if (Word == "Add") return Wrap(int64_t(L) + R);
    if (Word == "Sub") return Wrap(int64_t(L) - R);
    if (Word == "Mul") return Wrap(int64_t(L) * R);
    if (Word == "Div" || Word == "Mod") {
        if (R == 0) return std::nullopt;
        return Word == "Div" ? Wrap(int64_t(L) / R) : Wrap(int64_t(L) % R);
    }
    return L;
}

} // namespace

uint8_t TfrmMain::Exec_If(TNarvoCommand& Command) {
    TVariableCtrl& Variables = AccessControl->Variables;
    std::string Type = Command.ReadString("if.VariableType", "Value");
    std::string Word = Command.ReadString("if.Compare", "Equal");
    std::string V1 = Command.ReadString("if.Variable1", "");
    std::string V2 = Command.ReadString("if.Variable2", "");
    bool Holds = Type == "Value"
                     ? CompareValues(Word, Variables.Get_Value(V1), Variables.Get_Value(V2))
                     : CompareTexts(Word, Variables.Get_Text(V1), Variables.Get_Text(V2));
    if (Holds || SkipToBlockLevel(Command.BlockLevel)) return 1;
    Platform.Dialogs().MessageBox(
        TDialogKind::Error, TDialogButtons::Ok,
        NARVO_SJIS("ブロック構文エラー\r\nＩＦコマンドに対応するＥＮＤＩＦがありません"));
    return 0;
}

uint8_t TfrmMain::Exec_Else(TNarvoCommand& Command) {
    if (SkipToBlockLevel(Command.BlockLevel)) return 1;
    Platform.Dialogs().MessageBox(
        TDialogKind::Error, TDialogButtons::Ok,
        NARVO_SJIS("ブロック構文エラー\r\nＥＬＳＥコマンドに対応するＥＮＤＩＦがありません"));
    return 0;
}

uint8_t TfrmMain::Exec_EndIf(TNarvoCommand&) { return 1; }

uint8_t TfrmMain::Exec_Move(TNarvoCommand& Command) {
    AccessControl->MovePage(Command.ReadString("Move.BookName", ""),
                            Command.ReadString("Move.PageName", ""));
    return 1;
}

uint8_t TfrmMain::Exec_Call(TNarvoCommand& Command) {
    AccessControl->CallPage(Command.ReadString("Call.BookName", ""),
                            Command.ReadString("Call.PageName", ""));
    return 1;
}

uint8_t TfrmMain::Exec_Return(TNarvoCommand&) {
    if (!AccessControl->ReturnPage())
        Platform.Dialogs().MessageBox(TDialogKind::Warning, TDialogButtons::Ok,
                                      NARVO_SJIS("スタックアンダーフローです。\nサブルーチンコールが行われて"
                                                 "いないのに\n復帰しようとしました。"));
    return 1;
}

uint8_t TfrmMain::Exec_ValueCtrl(TNarvoCommand& Command) {
    TVariableCtrl& Variables = AccessControl->Variables;
    int32_t L = Variables.Get_Value(Command.ReadString("ValueCtrl.LeftValue", ""));
    int32_t R = Variables.Get_Value(Command.ReadString("ValueCtrl.RightValue", ""));
    std::optional<int32_t> Result = Calculate(Command.ReadString("ValueCtrl.Calc", ""), L, R);
    if (!Result) {
        Platform.Dialogs().MessageBox(TDialogKind::Plain, TDialogButtons::Ok,
                                      NARVO_SJIS("debug: error report:\n ０で除算しました"));
        return 0;
    }
    Variables.Set_Value(Command.ReadString("ValueCtrl.ValueVar", ""), *Result);
    return 1;
}

uint8_t TfrmMain::Exec_StringCtrl(TNarvoCommand& Command) {
    TVariableCtrl& Variables = AccessControl->Variables;
    Variables.Set_Text(Command.ReadString("StringCtrl.StringVar", ""),
                       Variables.Get_Text(Command.ReadString("StringCtrl.Text", "")));
    return 1;
}

} // namespace narvo

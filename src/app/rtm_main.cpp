// Index of this file
// [SECTION] Dispatch table
// [SECTION] Creation, showing and start of play
// [SECTION] The step loop
// [SECTION] Window events and shutdown

#include "app/rtm_main.h"

#include "platform/encoding.h"
#include "platform/files.h"

#include <cassert>

namespace narvo {

// -----------------------------------------------------------------------------------------
// [SECTION] Dispatch table
// -----------------------------------------------------------------------------------------

namespace {

// One row per command that the player knows: its handler, or none with the flag a
// command without a handler answers. Codes without a row run as unknown commands.
struct TCommandRow {
    int32_t Code;
    TfrmMain::CommandHandler Handler;
    uint8_t FlagWithoutHandler;
};

constexpr TCommandRow CommandTable[] = {
    {CommandCode::Rem, nullptr, 1},
    {CommandCode::If, &TfrmMain::Exec_If, 0},
    {CommandCode::Else, &TfrmMain::Exec_Else, 0},
    {CommandCode::EndIf, &TfrmMain::Exec_EndIf, 0},
    {CommandCode::Effect, nullptr, 0},
    {CommandCode::ValueCtrl, &TfrmMain::Exec_ValueCtrl, 0},
    {CommandCode::StringCtrl, &TfrmMain::Exec_StringCtrl, 0},
    {CommandCode::GraphicCtrl, nullptr, 0},
    {CommandCode::Move, &TfrmMain::Exec_Move, 0},
    {CommandCode::Call, &TfrmMain::Exec_Call, 0},
    {CommandCode::Return, &TfrmMain::Exec_Return, 0},
    {CommandCode::WindowShow, nullptr, 0},
};

// The table by type code, built once.
struct TDispatch {
    const TCommandRow* ByCode[CommandCode::Count] = {};
    TDispatch() {
        for (const TCommandRow& Row : CommandTable) {
            assert(Row.Code > 0 && Row.Code < CommandCode::Count && !ByCode[Row.Code]);
            ByCode[Row.Code] = &Row;
        }
    }
};

const TDispatch& Dispatcher() {
    static const TDispatch Table;
    return Table;
}

} // namespace

uint8_t TfrmMain::Dispatch(TNarvoCommand& Command) {
    const TCommandRow* Row = Command.Type > 0 && Command.Type < CommandCode::Count
                                 ? Dispatcher().ByCode[Command.Type]
                                 : nullptr;
    if (!Row) {
        Platform.Dialogs().MessageBox(TDialogKind::Plain, TDialogButtons::Ok,
                                      "debug error : unknown command - MainLoop_Step()");
        return 0;
    }
    return Row->Handler ? (this->*Row->Handler)(Command) : Row->FlagWithoutHandler;
}

// -----------------------------------------------------------------------------------------
// [SECTION] Creation, showing and start of play
// -----------------------------------------------------------------------------------------

TfrmMain::TfrmMain(TPlatform& Platform, TPlayerStart Start) : Platform(Platform), Start_(std::move(Start)) {}

TfrmMain::~TfrmMain() = default;

void TfrmMain::FormCreate() {
    AccessControl = std::make_unique<TNarvoAccessControl>(Platform, Random);
    LegacyMode = 0;
    FirstShow = 1;
    StartPending = 1;
    InStepLoop = 0;
    FullScreen = 0;
    TLocalTime Now = Platform.Clock().Now();
    Random.SetSeed(uint64_t(Now.Hour) * 3600 + uint64_t(Now.Minute) * 60 + uint64_t(Now.Second) +
                   uint64_t(Now.Day) * 86400);

    IApplication& App = Platform.App();
    MainTimer_ = App.CreateTimer(MainTimerInterval, [this] { MainTimerTimer(); });
    TWindowEvents Events;
    Events.OnPaint = [this] { FormPaint(); };
    Events.OnClose = [this] { FormClose(); };
    Platform.Window().SetEvents(std::move(Events));

    PackagePath = Start_.PackagePath ? *Start_.PackagePath : ChangeFileExt(Start_.PlayerPath, ".nvp");
    if (!AccessControl->OpenPackage(PackagePath)) return;
    PackageOpened_ = true;

    std::string Library = Start_.LibraryPath ? *Start_.LibraryPath
                                             : ExtractFileDir(Start_.PlayerPath) + "narvort5.nvl";
    if (AccessControl->OpenLibrary(Library)) {
        AccessControl->CallPage("_system", "_init");
        // The hand cursor over clickable layers is the platform's own.
    } else {
        Platform.Dialogs().MessageBox(TDialogKind::Error, TDialogButtons::Ok,
                                      NARVO_SJIS("ナルボライブラリが開けません") +
                                          "\r\nCan't open - \"narvort5.nvl\"");
    }
}

void TfrmMain::FormShow() {
    if (!FirstShow) return;
    FirstShow = 0;
    // FIXME: the screen control's windows are not built yet; until they are, the client
    // area takes window 0's size straight from the work's settings.
    TNarvoFile& Scenario = AccessControl->NarvoFile;
    Platform.Window().SetClientSize(Scenario.ReadInteger("Narvo", "ImageWidth", 640),
                                    Scenario.ReadInteger("Narvo", "ImageHeight", 480));
    LegacyMode = Scenario.ReadBool("Narvo", "LegacyMode", false) ? 1 : 0;
    Platform.App().SetIdleHandler([this] { AppIdle(); });
}

void TfrmMain::AppIdle() {
    if (!StartPending) return;
    StartPending = 0;
    StartPlay();
    Platform.App().SetTimerEnabled(MainTimer_, true);
}

void TfrmMain::StartPlay() {
    Platform.Window().SetCaption(AccessControl->NarvoFile.ReadString("Narvo", "Title", ""));
}

// -----------------------------------------------------------------------------------------
// [SECTION] The step loop
// -----------------------------------------------------------------------------------------

void TfrmMain::RunSteps() {
    // A tick that arrives while the loop runs (during a modal box, for example) is
    // dropped.
    if (InStepLoop) return;
    InStepLoop = 1;
    IApplication& App = Platform.App();
    bool First = true;
    uint8_t Flag;
    do {
        if (!First) App.ProcessMessages();
        First = false;
        if (App.Terminated()) {
            App.SetTimerEnabled(MainTimer_, false);
            return;
        }
        Flag = MainLoop_Step();
    } while (Flag == 1 && AccessControl->Process.IsReady());
    InStepLoop = 0;
}

uint8_t TfrmMain::MainLoop_Step() {
    TNarvoAccessControl& Access = *AccessControl;
    TNarvoProcess& Process = Access.Process;
    TCommandCtrl& Commands = Access.CommandCtrl;

    if (!Process.BeginCommand()) return 0;
    Process.TakeTimedOut();

    int32_t Count = Commands.CommandCount();
    if (Count == 0 && !Access.NarvoFile.PageExists(Commands.BookName(), Commands.PageName())) {
        Platform.Dialogs().MessageBox(
            TDialogKind::Error, TDialogButtons::Ok,
            NARVO_SJIS("存在しないページへのアクセスが発生しました。\n「") + Commands.BookName() +
                NARVO_SJIS("」ブック、「") + Commands.PageName() + NARVO_SJIS("」ページ"));
    }
    int32_t Index = Access.CommandIndex;
    if (Index >= Count) {
        // Running past the last command of any page ends the program.
        Platform.App().SetTimerEnabled(MainTimer_, false);
        Platform.App().Terminate();
        return 0;
    }

    TNarvoCommand Command;
    Commands.GetCommand(Index, Command);
    Access.CommandIndex = Index + 1;
    if (OnCommand) OnCommand(Index, Commands.GetMarkerLine(Index));
    uint8_t Flag = Dispatch(Command);
    Process.EndCommand();
    return Flag;
}

bool TfrmMain::SkipToBlockLevel(int32_t Level) {
    TCommandCtrl& Commands = AccessControl->CommandCtrl;
    int32_t End = Commands.CommandCount();
    for (int32_t I = AccessControl->CommandIndex; I < End; ++I) {
        if (Commands.GetBlockLevel(I) == Level) {
            AccessControl->CommandIndex = I + 1;
            return true;
        }
    }
    return false;
}

// -----------------------------------------------------------------------------------------
// [SECTION] Window events and shutdown
// -----------------------------------------------------------------------------------------

void TfrmMain::FormPaint() {
    // FIXME: the screen control paints window 0 here once it exists; until then the
    // window shows its empty back buffer.
    Platform.Window().Present();
}

void TfrmMain::FormClose() { Platform.App().Terminate(); }

void TfrmMain::FormDestroy() {
    if (!AccessControl) return;
    AccessControl->CloseLibrary();
    AccessControl->ClosePackage();
    AccessControl.reset();
}

void RunPlayer(TPlatform& Platform, const TPlayerStart& Start,
               const std::function<void(TfrmMain&)>& Prepare,
               const std::function<void(TfrmMain&)>& Finish) {
    Platform.App().SetTitle(TfrmMain::ApplicationTitle);
    TfrmMain Main(Platform, Start);
    if (Prepare) Prepare(Main);
    Main.FormCreate();
    if (!Platform.App().Terminated()) {
        Main.FormShow();
        Platform.Window().Show();
        Platform.App().Run();
    }
    if (Finish) Finish(Main);
    Main.FormDestroy();
}

} // namespace narvo

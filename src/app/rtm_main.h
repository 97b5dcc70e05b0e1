// The main window: the player itself. It owns the top-level objects, opens the work
// and the runtime library, and drives the interpreter: a 200 ms timer runs steps, and
// each step runs at most one command of the current page through the table of command
// handlers. Handlers are grouped by family in their own files (rtm_flow.cpp: flow
// control and variables).
#pragma once

#include "data/ca_ctrl.h"
#include "interp/cmd_obj.h"
#include "platform/platform.h"
#include "system/random.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace narvo {

// Where the player finds its work and its runtime library.
struct TPlayerStart {
    std::string PlayerPath;                 // the player's own file
    std::optional<std::string> PackagePath; // none: the player's path with ".nvp"
    std::optional<std::string> LibraryPath; // none: "narvort5.nvl" beside the player
};

class TfrmMain {
public:
    // A handler takes the command record and answers the continue flag: 1 lets the step
    // loop go on within the same tick, 0 ends the tick.
    using CommandHandler = uint8_t (TfrmMain::*)(TNarvoCommand&);

    static constexpr const char* ApplicationTitle = "Narvo Studio 5 Runtime";
    static constexpr uint32_t MainTimerInterval = 200;

    TfrmMain(TPlatform& Platform, TPlayerStart Start);
    ~TfrmMain();
    TfrmMain(const TfrmMain&) = delete;
    TfrmMain& operator=(const TfrmMain&) = delete;

    // Called with every command about to run: its index on the page and its marker
    // line as stored (traces of replays).
    std::function<void(int32_t Index, const std::string& Marker)> OnCommand;

    void FormCreate();
    void FormShow();
    void AppIdle();
    void MainTimerTimer() { RunSteps(); }
    void RunSteps();
    uint8_t MainLoop_Step();
    void FormDestroy();
    void FormPaint();
    void FormClose();

    bool SkipToBlockLevel(int32_t Level);

    // True once the work has been opened and may run.
    bool PackageOpened() const { return PackageOpened_; }

    // --- Command handlers ------------------------------------------------------------------
    uint8_t Exec_If(TNarvoCommand& Command);
    uint8_t Exec_Else(TNarvoCommand& Command);
    uint8_t Exec_EndIf(TNarvoCommand& Command);
    uint8_t Exec_Move(TNarvoCommand& Command);
    uint8_t Exec_Call(TNarvoCommand& Command);
    uint8_t Exec_Return(TNarvoCommand& Command);
    uint8_t Exec_ValueCtrl(TNarvoCommand& Command);
    uint8_t Exec_StringCtrl(TNarvoCommand& Command);

    TPlatform& Platform;
    TRandom Random;
    std::unique_ptr<TNarvoAccessControl> AccessControl;
    std::string PackagePath;
    uint8_t LegacyMode = 0;
    uint8_t FirstShow = 0;
    uint8_t StartPending = 0;
    uint8_t InStepLoop = 0;
    uint8_t FullScreen = 0;

private:
    uint8_t Dispatch(TNarvoCommand& Command);
    void StartPlay();

    TPlayerStart Start_;
    TTimerId MainTimer_ = -1;
    bool PackageOpened_ = false;
};

// Runs the player on a platform from creation to destruction: creates the main window,
// shows it, runs the application loop and destroys the window when the loop ends.
// `Prepare` (optional) sees the main window before it is created, for hooks.
void RunPlayer(TPlatform& Platform, const TPlayerStart& Start,
               const std::function<void(TfrmMain&)>& Prepare = {},
               const std::function<void(TfrmMain&)>& Finish = {});

} // namespace narvo

// The headless backend: the same player with a virtual millisecond clock that moves
// only when the program waits (or the loop has nothing to do until the next timer or
// scripted event), scripted input and dialog answers, a log of every dialog, and the
// presented frames kept as pictures. Tests and replays run on it deterministically.
#pragma once

#include "platform/platform.h"

#include <deque>
#include <string>
#include <vector>

namespace narvo {

enum class TScriptEventKind { Click, MouseDown, MouseUp, Move, Key, Input, Answer, Shot, Close };

// One line of an input script: "MS click X Y", "MS move X Y", "MS key space|enter|NAME",
// "MS input TEXT", "MS answer ok|abort|ignore|yes|no|cancel", "MS shot FILE.png",
// "MS close". MS counts virtual milliseconds from the start of the run.
struct TScriptEvent {
    uint64_t Time = 0;
    TScriptEventKind Kind = TScriptEventKind::Click;
    int X = 0;
    int Y = 0;
    int Key = 0;
    TDialogResult Answer = TDialogResult::Ok;
    std::string Text; // input text (Shift-JIS) or shot file name (UTF-8)
};

// Parses a script; on failure answers the reason with its line number.
TResult ParseInputScript(std::string_view Utf8Text, std::vector<TScriptEvent>& Events);
// "space", "enter", "escape", "left", a single letter or digit, or a decimal code.
std::optional<int> KeyCodeFromName(std::string_view Name);

struct TDialogRecord {
    uint64_t Time = 0;       // virtual ms since the start of the run
    TDialogKind Kind = TDialogKind::Error;
    bool IsInput = false;    // an input box rather than a message box
    TDialogButtons Buttons = TDialogButtons::Ok;
    std::string Caption;     // Shift-JIS
    std::string Text;        // Shift-JIS (the prompt for input boxes)
    TDialogResult Answer = TDialogResult::Ok;
    std::string InputText;   // Shift-JIS, what an input box returned
};

struct THeadlessOptions {
    uint32_t StartTick = 0x10000;        // the tick count at the start of the run
    TLocalTime StartTime{2006, 4, 1, 12, 0, 0, 0, 6};
    int Width = 640;
    int Height = 480;
    // Stop `Run` once the virtual clock would pass this many ms since the start.
    std::optional<uint64_t> Until;
    // Answer for dialogs the script does not answer, when it is one of their buttons;
    // otherwise the first button.
    std::optional<TDialogResult> DefaultAnswer;
};

class THeadlessPlatform final : public TPlatform {
public:
    explicit THeadlessPlatform(THeadlessOptions Options = {});
    ~THeadlessPlatform() override;

    IApplication& App() override;
    IWindow& Window() override;
    IDialogs& Dialogs() override;
    IClock& Clock() override;

    void SetScript(std::vector<TScriptEvent> Events);
    // Virtual milliseconds since the start of the run (never wraps).
    uint64_t Elapsed() const;
    // Why `Run` returned: the program terminated, nothing was left to happen, or the
    // time limit was reached.
    enum class TStopReason { Running, Terminated, Exhausted, Until };
    TStopReason StopReason() const;

    const std::vector<TDialogRecord>& DialogLog() const;
    // Called as each dialog is answered (replays print it at once).
    void SetDialogListener(std::function<void(const TDialogRecord&)> Listener);
    // Called for "shot" script lines with the file name.
    void SetShotHandler(std::function<void(const std::string&)> Handler);
    // Number of frames presented so far.
    int PresentCount() const;
    // Called with each presented frame (effect previews write them out).
    void SetPresentListener(std::function<void(const TPicture&)> Listener);

    struct TImpl;

private:
    std::unique_ptr<TImpl> Impl_;
};

} // namespace narvo

// The seam between the player and the machine it runs on. Every service the player
// needs from the desktop (the application loop and timers, the window and its input,
// modal dialogs, the clock) is one interface here; a backend (sdl/ for the real
// window, headless/ for tests and replays) composes them into a `TPlatform`.
// Services that do not depend on the backend (files, text encoding, dynamic libraries)
// are plain functions in their own headers beside this one.
#pragma once

#include "platform/platform_types.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace narvo {

using TTimerId = int;

// The application object: one thread, one message loop. `ProcessMessages` may be called
// from inside any handler; it delivers what is pending (nested timer ticks included),
// so handlers that must not run nested keep their own re-entrancy flag.
class IApplication {
public:
    virtual ~IApplication() = default;

    // The application title (Shift-JIS): task-bar text and caption of plain boxes.
    virtual void SetTitle(std::string_view SjisTitle) = 0;
    virtual const std::string& Title() const = 0;

    // Runs the message loop until `Terminate` is called (or, headless, until nothing
    // can happen any more or the run's time limit is reached).
    virtual void Run() = 0;
    // Delivers pending input, due timer ticks and paint requests, then returns.
    virtual void ProcessMessages() = 0;
    virtual void Terminate() = 0;
    virtual bool Terminated() const = 0;

    // Called each time the loop has delivered everything pending.
    virtual void SetIdleHandler(std::function<void()> OnIdle) = 0;

    // Timers tick on the loop's thread. A timer that falls behind ticks once, not once
    // per missed interval. Enabling (re)starts its interval from now.
    virtual TTimerId CreateTimer(uint32_t IntervalMs, std::function<void()> OnTimer) = 0;
    virtual void SetTimerEnabled(TTimerId Id, bool Enabled) = 0;
    virtual void SetTimerInterval(TTimerId Id, uint32_t IntervalMs) = 0;
    virtual bool TimerEnabled(TTimerId Id) const = 0;
};

// Handlers of the main window; any may be left empty. Positions are client pixels.
struct TWindowEvents {
    std::function<void()> OnPaint;
    std::function<void(TMouseButton, int X, int Y)> OnMouseDown;
    std::function<void(int X, int Y)> OnMouseMove;
    std::function<void(TMouseButton, int X, int Y)> OnMouseUp;
    std::function<void(int Key)> OnKeyDown;
    std::function<void(int Key)> OnKeyUp;
    // The reader asked to close the window; when empty the application terminates.
    std::function<void()> OnClose;
};

// The one main window. Drawing goes into the back buffer (client-sized, 0x00RRGGBB);
// `Present` shows it.
class IWindow {
public:
    virtual ~IWindow() = default;

    virtual void SetEvents(TWindowEvents Events) = 0;
    virtual void SetCaption(std::string_view SjisCaption) = 0;
    virtual void SetClientSize(int Width, int Height) = 0;
    virtual int ClientWidth() const = 0;
    virtual int ClientHeight() const = 0;
    virtual void Show() = 0;

    virtual TPicture& BackBuffer() = 0;
    virtual void Present() = 0;
    // Asks for a paint event at the loop's next opportunity (after input and timers).
    virtual void RequestPaint() = 0;
    // What the reader sees now: the last presented frame as it came out of the window.
    virtual TPicture ReadFrame() = 0;

    virtual void SetBorderless(bool Borderless) = 0;
    virtual void SetStayOnTop(bool StayOnTop) = 0;
    virtual void SetPosition(int Left, int Top) = 0;
    virtual int Left() const = 0;
    virtual int Top() const = 0;
    virtual void SetCursor(TCursorKind Cursor) = 0;
    virtual TCursorKind Cursor() const = 0;
};

// Modal boxes. Texts are Shift-JIS; an empty caption means the application title.
class IDialogs {
public:
    virtual ~IDialogs() = default;
    virtual TDialogResult MessageBox(TDialogKind Kind, TDialogButtons Buttons,
                                     std::string_view SjisText,
                                     std::string_view SjisCaption = {}) = 0;
    // The text entered (Shift-JIS), or nothing when the reader cancelled.
    virtual std::optional<std::string> InputBox(std::string_view SjisCaption,
                                                std::string_view SjisPrompt,
                                                std::string_view SjisProposed) = 0;
};

class IClock {
public:
    virtual ~IClock() = default;
    // Milliseconds since an arbitrary start, unsigned 32-bit: it wraps after 49.7 days,
    // so compare times by unsigned difference.
    virtual uint32_t TickCount() const = 0;
    virtual TLocalTime Now() const = 0;
    // Blocks without delivering messages.
    virtual void Sleep(uint32_t Ms) = 0;
};

class TPlatform {
public:
    virtual ~TPlatform() = default;
    virtual IApplication& App() = 0;
    virtual IWindow& Window() = 0;
    virtual IDialogs& Dialogs() = 0;
    virtual IClock& Clock() = 0;
};

// True when `Now` has reached `Due`, across the wrap of the tick count (for spans
// shorter than 2^31 ms).
constexpr bool TickReached(uint32_t Now, uint32_t Due) {
    return static_cast<int32_t>(Now - Due) >= 0;
}

} // namespace narvo

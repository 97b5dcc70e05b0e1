#include "platform/sdl/sdl_platform.h"

#include "platform/encoding.h"
#include "platform/sdl/sdl_input_box.h"
#include "platform/timer_list.h"

#include <SDL.h>

#include <ctime>
#include <time.h>

namespace narvo {

uint32_t SystemTickCount() {
    timespec Ts;
    clock_gettime(CLOCK_MONOTONIC, &Ts);
    return static_cast<uint32_t>(uint64_t(Ts.tv_sec) * 1000u + uint64_t(Ts.tv_nsec) / 1000000u);
}

TLocalTime SystemLocalTime() {
    timespec Ts;
    clock_gettime(CLOCK_REALTIME, &Ts);
    std::tm Local{};
    localtime_r(&Ts.tv_sec, &Local);
    return TLocalTime{Local.tm_year + 1900, Local.tm_mon + 1, Local.tm_mday,
                      Local.tm_hour,        Local.tm_min,     Local.tm_sec,
                      int(Ts.tv_nsec / 1000000), Local.tm_wday};
}

namespace {

// Monotonic milliseconds on 64 bits for the timer schedule.
uint64_t MonotonicMs() {
    timespec Ts;
    clock_gettime(CLOCK_MONOTONIC, &Ts);
    return uint64_t(Ts.tv_sec) * 1000u + uint64_t(Ts.tv_nsec) / 1000000u;
}

int KeyCodeFromSdl(SDL_Keycode Key) {
    switch (Key) {
    case SDLK_RETURN:
    case SDLK_KP_ENTER: return Keys::Enter;
    case SDLK_SPACE: return Keys::Space;
    case SDLK_ESCAPE: return Keys::Escape;
    case SDLK_TAB: return Keys::Tab;
    case SDLK_BACKSPACE: return Keys::Back;
    case SDLK_LEFT: return Keys::Left;
    case SDLK_UP: return Keys::Up;
    case SDLK_RIGHT: return Keys::Right;
    case SDLK_DOWN: return Keys::Down;
    case SDLK_LSHIFT:
    case SDLK_RSHIFT: return Keys::Shift;
    case SDLK_LCTRL:
    case SDLK_RCTRL: return Keys::Control;
    default: break;
    }
    if (Key >= 'a' && Key <= 'z') return int(Key) - 32;
    if (Key >= '0' && Key <= '9') return int(Key);
    if (Key >= SDLK_F1 && Key <= SDLK_F12) return 112 + int(Key - SDLK_F1);
    return 0;
}

TMouseButton ButtonFromSdl(Uint8 Button) {
    switch (Button) {
    case SDL_BUTTON_RIGHT: return TMouseButton::Right;
    case SDL_BUTTON_MIDDLE: return TMouseButton::Middle;
    default: return TMouseButton::Left;
    }
}

class TSdlPlatform final : public TPlatform, IApplication, IWindow, IDialogs, IClock {
public:
    bool Init(TResult* Error) {
        SDL_SetHint(SDL_HINT_VIDEO_ALLOW_SCREENSAVER, "1");
        if (SDL_Init(SDL_INIT_VIDEO | SDL_INIT_EVENTS) != 0) return Fail(Error);
        Window_ = SDL_CreateWindow("", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, Back_.Width,
                                   Back_.Height, SDL_WINDOW_HIDDEN | SDL_WINDOW_ALLOW_HIGHDPI);
        if (!Window_) return Fail(Error);
        Renderer_ = SDL_CreateRenderer(Window_, -1, SDL_RENDERER_ACCELERATED);
        if (!Renderer_) Renderer_ = SDL_CreateRenderer(Window_, -1, SDL_RENDERER_SOFTWARE);
        if (!Renderer_) return Fail(Error);
        if (!CreateTexture()) return Fail(Error);
        HandCursor_ = SDL_CreateSystemCursor(SDL_SYSTEM_CURSOR_HAND);
        if (Error) *Error = TResult::Success();
        return true;
    }

    ~TSdlPlatform() override {
        if (HandCursor_) SDL_FreeCursor(HandCursor_);
        if (Texture_) SDL_DestroyTexture(Texture_);
        if (Renderer_) SDL_DestroyRenderer(Renderer_);
        if (Window_) SDL_DestroyWindow(Window_);
        SDL_Quit();
    }

    IApplication& App() override { return *this; }
    IWindow& Window() override { return *this; }
    IDialogs& Dialogs() override { return *this; }
    IClock& Clock() override { return *this; }

    // --- IApplication --------------------------------------------------------------------

    void SetTitle(std::string_view SjisTitle) override { Title_ = std::string(SjisTitle); }
    const std::string& Title() const override { return Title_; }

    void Run() override {
        while (!Terminated_) {
            ProcessMessages();
            if (Terminated_) break;
            if (OnIdle_) OnIdle_();
            if (Terminated_ || PaintPending_) continue;
            // Sleep in the event queue until input arrives or the next timer is due.
            int Timeout = 100;
            if (std::optional<uint64_t> Due = Timers_.NextDue()) {
                uint64_t Now = MonotonicMs();
                Timeout = *Due <= Now ? 0 : int(std::min<uint64_t>(*Due - Now, 100));
            }
            SDL_Event Event;
            if (SDL_WaitEventTimeout(&Event, Timeout)) HandleEvent(Event);
        }
    }

    void ProcessMessages() override {
        SDL_Event Event;
        while (!Terminated_ && SDL_PollEvent(&Event)) HandleEvent(Event);
        if (!Terminated_) Timers_.FireDue(MonotonicMs());
        if (!Terminated_ && PaintPending_) {
            PaintPending_ = false;
            if (Events_.OnPaint) Events_.OnPaint();
        }
    }

    void Terminate() override { Terminated_ = true; }
    bool Terminated() const override { return Terminated_; }
    void SetIdleHandler(std::function<void()> OnIdle) override { OnIdle_ = std::move(OnIdle); }
    TTimerId CreateTimer(uint32_t IntervalMs, std::function<void()> OnTimer) override {
        return Timers_.Create(IntervalMs, std::move(OnTimer));
    }
    void SetTimerEnabled(TTimerId Id, bool Enabled) override {
        Timers_.SetEnabled(Id, Enabled, MonotonicMs());
    }
    void SetTimerInterval(TTimerId Id, uint32_t IntervalMs) override {
        Timers_.SetInterval(Id, IntervalMs, MonotonicMs());
    }
    bool TimerEnabled(TTimerId Id) const override { return Timers_.Enabled(Id); }

    // --- IWindow ---------------------------------------------------------------------------

    void SetEvents(TWindowEvents Events) override { Events_ = std::move(Events); }
    void SetCaption(std::string_view SjisCaption) override {
        SDL_SetWindowTitle(Window_, SjisToUtf8(SjisCaption).c_str());
    }
    void SetClientSize(int Width, int Height) override {
        if (Width <= 0 || Height <= 0) return;
        Back_ = TPicture(Width, Height);
        SDL_SetWindowSize(Window_, Width, Height);
        CreateTexture();
    }
    int ClientWidth() const override { return Back_.Width; }
    int ClientHeight() const override { return Back_.Height; }
    void Show() override {
        SDL_ShowWindow(Window_);
        PaintPending_ = true;
    }
    TPicture& BackBuffer() override { return Back_; }

    void Present() override {
        SDL_UpdateTexture(Texture_, nullptr, Back_.Pixels.data(), Back_.Width * 4);
        SDL_SetRenderDrawColor(Renderer_, 0, 0, 0, 255);
        SDL_RenderClear(Renderer_);
        SDL_RenderCopy(Renderer_, Texture_, nullptr, nullptr);
        SDL_RenderPresent(Renderer_);
    }

    void RequestPaint() override { PaintPending_ = true; }

    TPicture ReadFrame() override {
        // Read back what the renderer shows, at the logical size of the client area.
        TPicture Frame(Back_.Width, Back_.Height);
        SDL_Texture* Target = SDL_CreateTexture(Renderer_, SDL_PIXELFORMAT_ARGB8888,
                                                SDL_TEXTUREACCESS_TARGET, Back_.Width, Back_.Height);
        if (!Target) return Frame;
        SDL_SetRenderTarget(Renderer_, Target);
        SDL_RenderSetLogicalSize(Renderer_, 0, 0);
        SDL_RenderCopy(Renderer_, Texture_, nullptr, nullptr);
        SDL_RenderReadPixels(Renderer_, nullptr, SDL_PIXELFORMAT_ARGB8888, Frame.Pixels.data(),
                             Frame.Width * 4);
        SDL_SetRenderTarget(Renderer_, nullptr);
        SDL_RenderSetLogicalSize(Renderer_, Back_.Width, Back_.Height);
        SDL_DestroyTexture(Target);
        for (uint32_t& Pixel : Frame.Pixels) Pixel &= 0x00FFFFFF;
        return Frame;
    }

    void SetBorderless(bool Borderless) override {
        SDL_SetWindowBordered(Window_, Borderless ? SDL_FALSE : SDL_TRUE);
    }
    void SetStayOnTop(bool StayOnTop) override {
        SDL_SetWindowAlwaysOnTop(Window_, StayOnTop ? SDL_TRUE : SDL_FALSE);
    }
    void SetPosition(int L, int T) override { SDL_SetWindowPosition(Window_, L, T); }
    int Left() const override {
        int X = 0, Y = 0;
        SDL_GetWindowPosition(Window_, &X, &Y);
        return X;
    }
    int Top() const override {
        int X = 0, Y = 0;
        SDL_GetWindowPosition(Window_, &X, &Y);
        return Y;
    }
    void SetCursor(TCursorKind Kind) override {
        Cursor_ = Kind;
        SDL_SetCursor(Kind == TCursorKind::Hand && HandCursor_ ? HandCursor_ : SDL_GetDefaultCursor());
    }
    TCursorKind Cursor() const override { return Cursor_; }

    // --- IDialogs --------------------------------------------------------------------------

    TDialogResult MessageBox(TDialogKind Kind, TDialogButtons Buttons, std::string_view SjisText,
                             std::string_view SjisCaption) override {
        std::vector<TDialogResult> List = DialogButtonList(Buttons);
        std::vector<SDL_MessageBoxButtonData> ButtonData;
        static const char* Labels[] = {"OK", "Abort", "Ignore", "Yes", "No", "Cancel"};
        for (size_t I = 0; I < List.size(); ++I) {
            Uint32 Flags = I == 0 ? SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT : 0;
            if (I + 1 == List.size()) Flags |= SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT;
            ButtonData.push_back({Flags, int(I), Labels[int(List[I])]});
        }
        std::string Text = SjisToUtf8(SjisText);
        std::string Caption = SjisToUtf8(SjisCaption.empty() ? std::string_view(Title_) : SjisCaption);
        Uint32 Flags = Kind == TDialogKind::Error     ? SDL_MESSAGEBOX_ERROR
                       : Kind == TDialogKind::Warning ? SDL_MESSAGEBOX_WARNING
                                                      : SDL_MESSAGEBOX_INFORMATION;
        SDL_MessageBoxData Data{Flags,          Window_,           Caption.c_str(), Text.c_str(),
                                int(ButtonData.size()), ButtonData.data(), nullptr};
        int Pressed = -1;
        if (SDL_ShowMessageBox(&Data, &Pressed) != 0 || Pressed < 0) Pressed = int(List.size()) - 1;
        // Input that arrived while the box was up belongs to the box, not the player.
        SDL_FlushEvents(SDL_KEYDOWN, SDL_MOUSEWHEEL);
        return List[size_t(Pressed)];
    }

    std::optional<std::string> InputBox(std::string_view SjisCaption, std::string_view SjisPrompt,
                                        std::string_view SjisProposed) override {
        TSdlInputBoxHost Host;
        Host.Window = Window_;
        Host.Back = &Back_;
        Host.Present = [this] { Present(); };
        Host.WhileWaiting = [this] { Timers_.FireDue(MonotonicMs()); };
        std::optional<std::string> Result = RunSdlInputBox(Host, SjisCaption, SjisPrompt, SjisProposed);
        // Input that arrived while the box was up belongs to the box, not the player.
        SDL_FlushEvents(SDL_KEYDOWN, SDL_MOUSEWHEEL);
        return Result;
    }

    // --- IClock ----------------------------------------------------------------------------

    uint32_t TickCount() const override { return SystemTickCount(); }
    TLocalTime Now() const override { return SystemLocalTime(); }
    void Sleep(uint32_t Ms) override { SDL_Delay(Ms); }

private:
    static bool Fail(TResult* Error) {
        if (Error) *Error = TResult::Failure(SDL_GetError());
        return false;
    }

    bool CreateTexture() {
        if (Texture_) SDL_DestroyTexture(Texture_);
        Texture_ = SDL_CreateTexture(Renderer_, SDL_PIXELFORMAT_RGB888, SDL_TEXTUREACCESS_STREAMING,
                                     Back_.Width, Back_.Height);
        // Scale the frame to the window with its aspect kept (high-DPI, full screen).
        SDL_RenderSetLogicalSize(Renderer_, Back_.Width, Back_.Height);
        return Texture_ != nullptr;
    }

    void HandleEvent(const SDL_Event& Event) {
        switch (Event.type) {
        case SDL_QUIT:
            if (Events_.OnClose)
                Events_.OnClose();
            else
                Terminate();
            break;
        case SDL_WINDOWEVENT:
            if (Event.window.event == SDL_WINDOWEVENT_EXPOSED ||
                Event.window.event == SDL_WINDOWEVENT_SIZE_CHANGED)
                PaintPending_ = true;
            break;
        case SDL_MOUSEBUTTONDOWN:
            if (Events_.OnMouseDown)
                Events_.OnMouseDown(ButtonFromSdl(Event.button.button), Event.button.x, Event.button.y);
            break;
        case SDL_MOUSEBUTTONUP:
            if (Events_.OnMouseUp)
                Events_.OnMouseUp(ButtonFromSdl(Event.button.button), Event.button.x, Event.button.y);
            break;
        case SDL_MOUSEMOTION:
            if (Events_.OnMouseMove) Events_.OnMouseMove(Event.motion.x, Event.motion.y);
            break;
        case SDL_KEYDOWN:
            if (int Key = KeyCodeFromSdl(Event.key.keysym.sym); Key && Events_.OnKeyDown)
                Events_.OnKeyDown(Key);
            break;
        case SDL_KEYUP:
            if (int Key = KeyCodeFromSdl(Event.key.keysym.sym); Key && Events_.OnKeyUp)
                Events_.OnKeyUp(Key);
            break;
        default: break;
        }
    }

    SDL_Window* Window_ = nullptr;
    SDL_Renderer* Renderer_ = nullptr;
    SDL_Texture* Texture_ = nullptr;
    SDL_Cursor* HandCursor_ = nullptr;
    TPicture Back_{640, 480};
    TTimerList Timers_;
    TWindowEvents Events_;
    std::function<void()> OnIdle_;
    std::string Title_;
    TCursorKind Cursor_ = TCursorKind::Default;
    bool Terminated_ = false;
    bool PaintPending_ = false;
};

} // namespace

std::unique_ptr<TPlatform> CreateSdlPlatform(TResult* Error) {
    auto Platform = std::make_unique<TSdlPlatform>();
    if (!Platform->Init(Error)) return nullptr;
    return Platform;
}

} // namespace narvo

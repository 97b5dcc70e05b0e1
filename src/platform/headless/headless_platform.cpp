#include "platform/headless/headless_platform.h"

#include "platform/encoding.h"
#include "platform/timer_list.h"
#include "system/icm_sub.h"

#include <algorithm>
#include <charconv>
#include <ctime>

namespace narvo {

// ---------------------------------------------------------------------------------------
// Script parsing
// ---------------------------------------------------------------------------------------

std::optional<int> KeyCodeFromName(std::string_view Name) {
    struct TNamedKey {
        const char* Name;
        int Code;
    };
    static const TNamedKey Named[] = {
        {"space", Keys::Space}, {"enter", Keys::Enter},   {"return", Keys::Enter},
        {"escape", Keys::Escape}, {"esc", Keys::Escape},  {"tab", Keys::Tab},
        {"backspace", Keys::Back}, {"left", Keys::Left},  {"up", Keys::Up},
        {"right", Keys::Right},   {"down", Keys::Down},   {"shift", Keys::Shift},
        {"control", Keys::Control}, {"ctrl", Keys::Control},
    };
    for (const TNamedKey& Key : Named)
        if (SameTextAscii(Name, Key.Name)) return Key.Code;
    if (Name.size() == 1) {
        char C = Name[0];
        if (C >= 'a' && C <= 'z') return C - 32;
        if ((C >= 'A' && C <= 'Z') || (C >= '0' && C <= '9')) return C;
    }
    int Code = 0;
    auto [Ptr, Ec] = std::from_chars(Name.data(), Name.data() + Name.size(), Code);
    if (Ec == std::errc() && Ptr == Name.data() + Name.size() && Code > 0 && Code < 256) return Code;
    return std::nullopt;
}

namespace {

std::optional<TDialogResult> AnswerFromName(std::string_view Name) {
    for (TDialogResult R : {TDialogResult::Ok, TDialogResult::Abort, TDialogResult::Ignore,
                            TDialogResult::Yes, TDialogResult::No, TDialogResult::Cancel})
        if (SameTextAscii(Name, DialogResultName(R))) return R;
    return std::nullopt;
}

std::string_view Trim(std::string_view Text) {
    while (!Text.empty() && (Text.front() == ' ' || Text.front() == '\t')) Text.remove_prefix(1);
    while (!Text.empty() && (Text.back() == ' ' || Text.back() == '\t' || Text.back() == '\r'))
        Text.remove_suffix(1);
    return Text;
}

// Splits off the first blank-separated word of `Text`.
std::string_view NextWord(std::string_view& Text) {
    Text = Trim(Text);
    size_t End = Text.find_first_of(" \t");
    std::string_view Word = Text.substr(0, End);
    Text = End == std::string_view::npos ? std::string_view() : Trim(Text.substr(End));
    return Word;
}

template <typename T> bool ParseNumber(std::string_view Word, T& Value) {
    auto [Ptr, Ec] = std::from_chars(Word.data(), Word.data() + Word.size(), Value);
    return Ec == std::errc() && Ptr == Word.data() + Word.size();
}

} // namespace

TResult ParseInputScript(std::string_view Utf8Text, std::vector<TScriptEvent>& Events) {
    Events.clear();
    int LineNo = 0;
    for (const std::string& RawLine : TextToStringList(Utf8Text)) {
        ++LineNo;
        std::string_view Line = RawLine;
        if (size_t Hash = Line.find('#'); Hash != std::string_view::npos) {
            // "input" texts may hold "#" (a line break in messages): only a "#" that
            // starts a word begins a comment there.
            if (Line.substr(0, Hash).find("input") == std::string_view::npos) Line = Line.substr(0, Hash);
        }
        Line = Trim(Line);
        if (Line.empty() || Line.front() == '#') continue;
        auto Fail = [&](const std::string& Why) {
            return TResult::Failure("script line " + std::to_string(LineNo) + ": " + Why);
        };
        TScriptEvent Event;
        if (!ParseNumber(NextWord(Line), Event.Time)) return Fail("expected a time in ms");
        std::string_view Verb = NextWord(Line);
        if (Verb == "click" || Verb == "move" || Verb == "down" || Verb == "up") {
            Event.Kind = Verb == "click" ? TScriptEventKind::Click
                         : Verb == "move" ? TScriptEventKind::Move
                         : Verb == "down" ? TScriptEventKind::MouseDown
                                          : TScriptEventKind::MouseUp;
            if (!ParseNumber(NextWord(Line), Event.X) || !ParseNumber(NextWord(Line), Event.Y))
                return Fail("expected X Y");
        } else if (Verb == "key") {
            Event.Kind = TScriptEventKind::Key;
            std::optional<int> Code = KeyCodeFromName(NextWord(Line));
            if (!Code) return Fail("unknown key");
            Event.Key = *Code;
        } else if (Verb == "input") {
            Event.Kind = TScriptEventKind::Input;
            Event.Text = Utf8ToSjis(Line);
            Line = {};
        } else if (Verb == "answer") {
            Event.Kind = TScriptEventKind::Answer;
            std::optional<TDialogResult> Answer = AnswerFromName(NextWord(Line));
            if (!Answer) return Fail("expected ok, abort, ignore, yes, no or cancel");
            Event.Answer = *Answer;
        } else if (Verb == "shot") {
            Event.Kind = TScriptEventKind::Shot;
            Event.Text = std::string(Line);
            Line = {};
            if (Event.Text.empty()) return Fail("expected a file name");
        } else if (Verb == "close") {
            Event.Kind = TScriptEventKind::Close;
        } else {
            return Fail("unknown event '" + std::string(Verb) + "'");
        }
        if (!Line.empty()) return Fail("unexpected text after the event");
        Events.push_back(std::move(Event));
    }
    std::stable_sort(Events.begin(), Events.end(),
                     [](const TScriptEvent& A, const TScriptEvent& B) { return A.Time < B.Time; });
    return TResult::Success();
}

// ---------------------------------------------------------------------------------------
// The backend
// ---------------------------------------------------------------------------------------

struct THeadlessPlatform::TImpl : IApplication, IWindow, IDialogs, IClock {
    explicit TImpl(THeadlessOptions Opts)
        : Options(std::move(Opts)), Back(Options.Width, Options.Height),
          Shown(Options.Width, Options.Height) {}

    THeadlessOptions Options;
    uint64_t Elapsed = 0; // virtual ms since the start of the run
    TTimerList Timers;
    std::string AppTitle;
    bool IsTerminated = false;
    TStopReason Stop = TStopReason::Running;
    std::function<void()> OnIdle;

    // Input events wait here until their time; dialog answers are taken in order by
    // the boxes that open.
    std::deque<TScriptEvent> Input;
    std::deque<TScriptEvent> Answers;

    TWindowEvents Events;
    std::string Caption;
    TPicture Back;
    TPicture Shown;
    int Presented = 0;
    bool PaintPending = false;
    bool Borderless = false;
    bool StayOnTop = false;
    int PosLeft = 0, PosTop = 0;
    TCursorKind CursorKind = TCursorKind::Default;

    std::vector<TDialogRecord> Log;
    std::function<void(const TDialogRecord&)> DialogListener;
    std::function<void(const std::string&)> ShotHandler;
    std::function<void(const TPicture&)> PresentListener;

    // --- loop --------------------------------------------------------------------------

    std::optional<uint64_t> NextEventTime() const {
        std::optional<uint64_t> Next = Timers.NextDue();
        if (!Input.empty() && (!Next || Input.front().Time < *Next)) Next = Input.front().Time;
        return Next;
    }

    void Dispatch(const TScriptEvent& Event) {
        switch (Event.Kind) {
        case TScriptEventKind::Click:
            if (Events.OnMouseMove) Events.OnMouseMove(Event.X, Event.Y);
            if (Events.OnMouseDown) Events.OnMouseDown(TMouseButton::Left, Event.X, Event.Y);
            if (Events.OnMouseUp) Events.OnMouseUp(TMouseButton::Left, Event.X, Event.Y);
            break;
        case TScriptEventKind::MouseDown:
            if (Events.OnMouseDown) Events.OnMouseDown(TMouseButton::Left, Event.X, Event.Y);
            break;
        case TScriptEventKind::MouseUp:
            if (Events.OnMouseUp) Events.OnMouseUp(TMouseButton::Left, Event.X, Event.Y);
            break;
        case TScriptEventKind::Move:
            if (Events.OnMouseMove) Events.OnMouseMove(Event.X, Event.Y);
            break;
        case TScriptEventKind::Key:
            if (Events.OnKeyDown) Events.OnKeyDown(Event.Key);
            if (Events.OnKeyUp) Events.OnKeyUp(Event.Key);
            break;
        case TScriptEventKind::Shot:
            if (ShotHandler) ShotHandler(Event.Text);
            break;
        case TScriptEventKind::Close:
            if (Events.OnClose)
                Events.OnClose();
            else
                Terminate();
            break;
        case TScriptEventKind::Input:
        case TScriptEventKind::Answer:
            break;
        }
    }

    // Delivers what is due at the current time: input in script order, then timers,
    // then a pending paint, as a message queue would.
    void DeliverDue() {
        while (!IsTerminated && !Input.empty() && Input.front().Time <= Elapsed) {
            TScriptEvent Event = std::move(Input.front());
            Input.pop_front();
            Dispatch(Event);
        }
        if (!IsTerminated) Timers.FireDue(Elapsed);
        if (!IsTerminated && PaintPending) {
            PaintPending = false;
            if (Events.OnPaint) Events.OnPaint();
        }
    }

    // A modal box waits until `Time`: timers go on ticking (the owner's re-entrancy flag
    // decides what they do) while input to the main window waits.
    void ModalWaitUntil(uint64_t Time) {
        while (!IsTerminated) {
            std::optional<uint64_t> Due = Timers.NextDue();
            if (!Due || *Due > Time) break;
            Elapsed = std::max(Elapsed, *Due);
            Timers.FireDue(Elapsed);
        }
        Elapsed = std::max(Elapsed, Time);
    }

    // IApplication
    void SetTitle(std::string_view SjisTitle) override { AppTitle = std::string(SjisTitle); }
    const std::string& Title() const override { return AppTitle; }

    void Run() override {
        Stop = TStopReason::Running;
        while (!IsTerminated) {
            DeliverDue();
            if (IsTerminated) break;
            if (OnIdle) OnIdle();
            if (IsTerminated) break;
            if (PaintPending) continue;
            std::optional<uint64_t> Next = NextEventTime();
            if (!Next) {
                Stop = TStopReason::Exhausted;
                return;
            }
            if (Options.Until && *Next > *Options.Until) {
                Elapsed = std::max(Elapsed, *Options.Until);
                Stop = TStopReason::Until;
                return;
            }
            Elapsed = std::max(Elapsed, *Next);
        }
        Stop = TStopReason::Terminated;
    }

    void ProcessMessages() override { DeliverDue(); }
    void Terminate() override { IsTerminated = true; }
    bool Terminated() const override { return IsTerminated; }
    void SetIdleHandler(std::function<void()> Handler) override { OnIdle = std::move(Handler); }
    TTimerId CreateTimer(uint32_t IntervalMs, std::function<void()> OnTimer) override {
        return Timers.Create(IntervalMs, std::move(OnTimer));
    }
    void SetTimerEnabled(TTimerId Id, bool Enabled) override { Timers.SetEnabled(Id, Enabled, Elapsed); }
    void SetTimerInterval(TTimerId Id, uint32_t IntervalMs) override {
        Timers.SetInterval(Id, IntervalMs, Elapsed);
    }
    bool TimerEnabled(TTimerId Id) const override { return Timers.Enabled(Id); }

    // IWindow
    void SetEvents(TWindowEvents NewEvents) override { Events = std::move(NewEvents); }
    void SetCaption(std::string_view SjisCaption) override { Caption = std::string(SjisCaption); }
    void SetClientSize(int Width, int Height) override {
        Back = TPicture(Width, Height);
        Shown = TPicture(Width, Height);
    }
    int ClientWidth() const override { return Back.Width; }
    int ClientHeight() const override { return Back.Height; }
    void Show() override { PaintPending = true; }
    TPicture& BackBuffer() override { return Back; }
    void Present() override {
        Shown = Back;
        ++Presented;
        if (PresentListener) PresentListener(Shown);
    }
    void RequestPaint() override { PaintPending = true; }
    TPicture ReadFrame() override { return Shown; }
    void SetBorderless(bool Value) override { Borderless = Value; }
    void SetStayOnTop(bool Value) override { StayOnTop = Value; }
    void SetPosition(int L, int T) override {
        PosLeft = L;
        PosTop = T;
    }
    int Left() const override { return PosLeft; }
    int Top() const override { return PosTop; }
    void SetCursor(TCursorKind Kind) override { CursorKind = Kind; }
    TCursorKind Cursor() const override { return CursorKind; }

    // IDialogs
    TDialogResult DefaultAnswer(TDialogButtons Buttons) const {
        std::vector<TDialogResult> List = DialogButtonList(Buttons);
        if (Options.DefaultAnswer &&
            std::find(List.begin(), List.end(), *Options.DefaultAnswer) != List.end())
            return *Options.DefaultAnswer;
        return List.front();
    }

    void Record(TDialogRecord Entry) {
        Entry.Time = Elapsed;
        Log.push_back(std::move(Entry));
        if (DialogListener) DialogListener(Log.back());
    }

    TDialogResult MessageBox(TDialogKind Kind, TDialogButtons Buttons, std::string_view Text,
                             std::string_view DialogCaption) override {
        TDialogRecord Entry;
        Entry.Kind = Kind;
        Entry.Buttons = Buttons;
        Entry.Caption = DialogCaption.empty() ? AppTitle : std::string(DialogCaption);
        Entry.Text = std::string(Text);
        Entry.Answer = DefaultAnswer(Buttons);
        if (!Answers.empty() && Answers.front().Kind == TScriptEventKind::Answer) {
            std::vector<TDialogResult> List = DialogButtonList(Buttons);
            if (std::find(List.begin(), List.end(), Answers.front().Answer) != List.end()) {
                ModalWaitUntil(Answers.front().Time);
                Entry.Answer = Answers.front().Answer;
                Answers.pop_front();
            }
        }
        Record(Entry);
        return Entry.Answer;
    }

    std::optional<std::string> InputBox(std::string_view DialogCaption, std::string_view Prompt,
                                        std::string_view Proposed) override {
        TDialogRecord Entry;
        Entry.Kind = TDialogKind::Plain;
        Entry.IsInput = true;
        Entry.Buttons = TDialogButtons::Ok;
        Entry.Caption = std::string(DialogCaption);
        Entry.Text = std::string(Prompt);
        Entry.Answer = TDialogResult::Ok;
        Entry.InputText = std::string(Proposed);
        if (!Answers.empty()) {
            const TScriptEvent& Next = Answers.front();
            bool Fits = Next.Kind == TScriptEventKind::Input ||
                        Next.Answer == TDialogResult::Ok || Next.Answer == TDialogResult::Cancel;
            if (Fits) {
                ModalWaitUntil(Next.Time);
                if (Next.Kind == TScriptEventKind::Input)
                    Entry.InputText = Next.Text;
                else
                    Entry.Answer = Next.Answer;
                Answers.pop_front();
            }
        }
        if (Entry.Answer == TDialogResult::Cancel) Entry.InputText.clear();
        Record(Entry);
        if (Entry.Answer == TDialogResult::Cancel) return std::nullopt;
        return Entry.InputText;
    }

    // IClock
    uint32_t TickCount() const override { return static_cast<uint32_t>(Options.StartTick + Elapsed); }
    TLocalTime Now() const override {
        std::tm Start{};
        Start.tm_year = Options.StartTime.Year - 1900;
        Start.tm_mon = Options.StartTime.Month - 1;
        Start.tm_mday = Options.StartTime.Day;
        Start.tm_hour = Options.StartTime.Hour;
        Start.tm_min = Options.StartTime.Minute;
        Start.tm_sec = Options.StartTime.Second;
        // Calendar arithmetic in UTC so that the virtual date does not depend on the
        // machine's time zone.
        uint64_t Ms = uint64_t(Options.StartTime.Millisecond) + Elapsed;
        std::time_t Seconds = timegm(&Start) + std::time_t(Ms / 1000);
        std::tm Out{};
        gmtime_r(&Seconds, &Out);
        return TLocalTime{Out.tm_year + 1900, Out.tm_mon + 1, Out.tm_mday, Out.tm_hour,
                          Out.tm_min,         Out.tm_sec,     int(Ms % 1000), Out.tm_wday};
    }
    void Sleep(uint32_t Ms) override { Elapsed += Ms; }
};

THeadlessPlatform::THeadlessPlatform(THeadlessOptions Options)
    : Impl_(std::make_unique<TImpl>(std::move(Options))) {}
THeadlessPlatform::~THeadlessPlatform() = default;

IApplication& THeadlessPlatform::App() { return *Impl_; }
IWindow& THeadlessPlatform::Window() { return *Impl_; }
IDialogs& THeadlessPlatform::Dialogs() { return *Impl_; }
IClock& THeadlessPlatform::Clock() { return *Impl_; }

void THeadlessPlatform::SetScript(std::vector<TScriptEvent> Events) {
    Impl_->Input.clear();
    Impl_->Answers.clear();
    for (TScriptEvent& Event : Events) {
        if (Event.Kind == TScriptEventKind::Input || Event.Kind == TScriptEventKind::Answer)
            Impl_->Answers.push_back(std::move(Event));
        else
            Impl_->Input.push_back(std::move(Event));
    }
}

uint64_t THeadlessPlatform::Elapsed() const { return Impl_->Elapsed; }
THeadlessPlatform::TStopReason THeadlessPlatform::StopReason() const { return Impl_->Stop; }
const std::vector<TDialogRecord>& THeadlessPlatform::DialogLog() const { return Impl_->Log; }
void THeadlessPlatform::SetDialogListener(std::function<void(const TDialogRecord&)> Listener) {
    Impl_->DialogListener = std::move(Listener);
}
void THeadlessPlatform::SetShotHandler(std::function<void(const std::string&)> Handler) {
    Impl_->ShotHandler = std::move(Handler);
}
int THeadlessPlatform::PresentCount() const { return Impl_->Presented; }
void THeadlessPlatform::SetPresentListener(std::function<void(const TPicture&)> Listener) {
    Impl_->PresentListener = std::move(Listener);
}

} // namespace narvo

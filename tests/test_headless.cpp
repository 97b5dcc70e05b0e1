// The headless backend's virtual clock, timers, scripted input and dialogs: what every
// replay and whole-work test relies on.
#include "platform/headless/headless_platform.h"
#include "test_support.h"

#include <gtest/gtest.h>

using namespace narvo;

namespace {

std::vector<TScriptEvent> Script(const std::string& Text) {
    std::vector<TScriptEvent> Events;
    TResult Parsed = ParseInputScript(Text, Events);
    EXPECT_TRUE(Parsed.Ok) << Parsed.Message;
    return Events;
}

} // namespace

TEST(Headless, TimerTicksOnItsIntervalAndTheClockOnlyMovesWhenWaiting) {
    THeadlessPlatform P;
    IApplication& App = P.App();
    std::vector<uint64_t> Ticks;
    TTimerId Timer = App.CreateTimer(200, [&] {
        Ticks.push_back(P.Elapsed());
        if (Ticks.size() == 5) App.Terminate();
    });
    EXPECT_EQ(P.Elapsed(), 0u);
    App.SetTimerEnabled(Timer, true);
    App.Run();
    EXPECT_EQ(Ticks, (std::vector<uint64_t>{200, 400, 600, 800, 1000}));
    EXPECT_EQ(P.StopReason(), THeadlessPlatform::TStopReason::Terminated);
}

TEST(Headless, NestedTicksReachAHandlerThatProcessesMessages) {
    // A handler that waits inside a tick (a transition, a sound in wait mode) calls
    // ProcessMessages; the timer ticks again nested and the owner's flag drops it.
    THeadlessPlatform P;
    IApplication& App = P.App();
    IClock& Clock = P.Clock();
    bool InStep = false;
    int Dropped = 0;
    std::vector<uint64_t> Steps;
    TTimerId Timer = App.CreateTimer(200, [&] {
        if (InStep) {
            ++Dropped;
            return;
        }
        InStep = true;
        Steps.push_back(P.Elapsed());
        if (Steps.size() == 1) {
            for (int I = 0; I < 10; ++I) {
                Clock.Sleep(50);
                App.ProcessMessages();
            }
        }
        InStep = false;
        if (Steps.size() == 3) App.Terminate();
    });
    App.SetTimerEnabled(Timer, true);
    App.Run();
    // The first step ran 200..700: ticks due at 400 and 600 arrived nested and were
    // dropped; the schedule kept its phase.
    EXPECT_EQ(Dropped, 2);
    EXPECT_EQ(Steps, (std::vector<uint64_t>{200, 800, 1000}));
}

TEST(Headless, FallingBehindTicksOnceAndDisablingStops) {
    THeadlessPlatform P;
    IApplication& App = P.App();
    int Count = 0;
    TTimerId Timer = App.CreateTimer(100, [&] { ++Count; });
    App.SetTimerEnabled(Timer, true);
    P.Clock().Sleep(1000); // ten intervals pass without a message loop
    App.ProcessMessages();
    EXPECT_EQ(Count, 1);
    App.SetTimerEnabled(Timer, false);
    App.Run(); // nothing can happen any more
    EXPECT_EQ(P.StopReason(), THeadlessPlatform::TStopReason::Exhausted);
    EXPECT_EQ(Count, 1);
}

TEST(Headless, TickCountWrapsAroundFromAChosenStart) {
    THeadlessOptions Options;
    Options.StartTick = 0xFFFFFF00u;
    THeadlessPlatform P(Options);
    IClock& Clock = P.Clock();
    uint32_t Start = Clock.TickCount();
    uint32_t Due = Start + 1000; // wraps past zero
    EXPECT_LT(Due, Start);
    EXPECT_FALSE(TickReached(Clock.TickCount(), Due));
    Clock.Sleep(999);
    EXPECT_FALSE(TickReached(Clock.TickCount(), Due));
    Clock.Sleep(1);
    EXPECT_TRUE(TickReached(Clock.TickCount(), Due));
    EXPECT_EQ(Clock.TickCount(), 0x000002E8u);
    EXPECT_EQ(Clock.TickCount() - Start, 1000u);
}

TEST(Headless, LocalTimeFollowsTheVirtualClock) {
    THeadlessOptions Options;
    Options.StartTime = {2006, 12, 31, 23, 59, 59, 500, 0};
    THeadlessPlatform P(Options);
    P.Clock().Sleep(600);
    TLocalTime Now = P.Clock().Now();
    EXPECT_EQ(Now.Year, 2007);
    EXPECT_EQ(Now.Month, 1);
    EXPECT_EQ(Now.Day, 1);
    EXPECT_EQ(Now.Hour, 0);
    EXPECT_EQ(Now.Second, 0);
    EXPECT_EQ(Now.Millisecond, 100);
    EXPECT_EQ(Now.DayOfWeek, 1); // Monday
}

TEST(Headless, ScriptedInputArrivesAtItsTimeInOrder) {
    THeadlessPlatform P;
    std::vector<std::string> Seen;
    TWindowEvents Events;
    auto Stamp = [&](const std::string& What) { Seen.push_back(std::to_string(P.Elapsed()) + " " + What); };
    Events.OnMouseDown = [&](TMouseButton, int X, int Y) { Stamp("down " + std::to_string(X) + "," + std::to_string(Y)); };
    Events.OnMouseUp = [&](TMouseButton, int, int) { Stamp("up"); };
    Events.OnMouseMove = [&](int X, int Y) { Stamp("move " + std::to_string(X) + "," + std::to_string(Y)); };
    Events.OnKeyDown = [&](int Key) { Stamp("key " + std::to_string(Key)); };
    P.Window().SetEvents(Events);
    P.SetScript(Script("# a comment\n"
                       "300 key enter\n"
                       "100 click 10 20   # trailing comment\n"
                       "300 key space\n"
                       "450 move 5 6\n"
                       "500 close\n"));
    P.App().Run();
    EXPECT_EQ(Seen, (std::vector<std::string>{"100 move 10,20", "100 down 10,20", "100 up",
                                              "300 key 13", "300 key 32", "450 move 5,6"}));
    EXPECT_TRUE(P.App().Terminated()); // "close" without a handler ends the program
}

TEST(Headless, RunStopsAtTheTimeLimit) {
    THeadlessOptions Options;
    Options.Until = 1000;
    THeadlessPlatform P(Options);
    int Count = 0;
    TTimerId Timer = P.App().CreateTimer(300, [&] { ++Count; });
    P.App().SetTimerEnabled(Timer, true);
    P.App().Run();
    EXPECT_EQ(Count, 3);
    EXPECT_EQ(P.Elapsed(), 1000u);
    EXPECT_EQ(P.StopReason(), THeadlessPlatform::TStopReason::Until);
}

TEST(Headless, DialogsAreLoggedAndAnsweredByScriptThenDefault) {
    THeadlessOptions Options;
    Options.DefaultAnswer = TDialogResult::Ignore;
    THeadlessPlatform P(Options);
    P.App().SetTitle("Title");
    P.SetScript(Script("2000 answer no\n"
                       "2500 input \xE5\x90\x8D\xE5\x89\x8D\n" // "名前"
                       "2600 answer cancel\n"));
    IDialogs& Dialogs = P.Dialogs();
    int Ticks = 0;
    TTimerId Timer = P.App().CreateTimer(200, [&] { ++Ticks; });
    P.App().SetTimerEnabled(Timer, true);

    // The default answer applies where it is one of the buttons, else the first button.
    EXPECT_EQ(Dialogs.MessageBox(TDialogKind::Error, TDialogButtons::AbortIgnore, "x"), TDialogResult::Ignore);
    EXPECT_EQ(Dialogs.MessageBox(TDialogKind::Warning, TDialogButtons::Ok, "y"), TDialogResult::Ok);
    // The scripted "no" is taken by the yes/no box; the box stays up until then, and
    // timers tick meanwhile as under a real modal box.
    EXPECT_EQ(Dialogs.MessageBox(TDialogKind::Question, TDialogButtons::YesNo, "z"), TDialogResult::No);
    EXPECT_EQ(P.Elapsed(), 2000u);
    EXPECT_EQ(Ticks, 10);
    EXPECT_EQ(Dialogs.InputBox("c", "p", "proposed"), std::optional<std::string>(test::Sjis("名前")));
    EXPECT_EQ(Dialogs.InputBox("c", "p", "proposed"), std::nullopt);
    EXPECT_EQ(Dialogs.InputBox("c", "p", "proposed"), std::optional<std::string>("proposed"));

    const auto& Log = P.DialogLog();
    ASSERT_EQ(Log.size(), 6u);
    EXPECT_EQ(Log[0].Kind, TDialogKind::Error);
    EXPECT_EQ(Log[0].Caption, "Title"); // an empty caption is the application title
    EXPECT_EQ(Log[0].Text, "x");
    EXPECT_EQ(Log[2].Time, 2000u);
    EXPECT_TRUE(Log[3].IsInput);
    EXPECT_EQ(Log[4].Answer, TDialogResult::Cancel);
}

TEST(Headless, PaintRequestsAndPresentedFrames) {
    THeadlessPlatform P;
    IWindow& Window = P.Window();
    Window.SetClientSize(4, 3);
    int Paints = 0;
    TWindowEvents Events;
    Events.OnPaint = [&] {
        ++Paints;
        Window.BackBuffer().Row(1)[2] = 0x00123456;
        Window.Present();
    };
    Window.SetEvents(Events);
    Window.RequestPaint();
    Window.RequestPaint(); // requests merge until the paint happens
    P.App().ProcessMessages();
    EXPECT_EQ(Paints, 1);
    EXPECT_EQ(P.PresentCount(), 1);
    TPicture Frame = Window.ReadFrame();
    EXPECT_EQ(Frame.Width, 4);
    EXPECT_EQ(Frame.At(2, 1), 0x00123456u);
    EXPECT_EQ(Frame.At(0, 0), 0u);
}

TEST(Headless, ScriptErrorsNameTheLine) {
    struct {
        const char* Text;
        const char* Fragment;
    } Cases[] = {
        {"100 click 1\n", "line 1"},
        {"\nabc click 1 2\n", "line 2"},
        {"1 key nosuchkey\n", "unknown key"},
        {"1 answer maybe\n", "expected ok"},
        {"1 dance\n", "unknown event"},
        {"1 close now\n", "unexpected text"},
    };
    for (const auto& Case : Cases) {
        std::vector<TScriptEvent> Events;
        TResult Parsed = ParseInputScript(Case.Text, Events);
        EXPECT_FALSE(Parsed.Ok) << Case.Text;
        EXPECT_NE(Parsed.Message.find(Case.Fragment), std::string::npos) << Parsed.Message;
    }
}

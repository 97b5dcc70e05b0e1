// Process state, waits and the call stack.
#include "interp/cp_ctrl.h"
#include "platform/headless/headless_platform.h"

#include <gtest/gtest.h>

using namespace narvo;

namespace {

struct TProcessFixture : ::testing::Test {
    explicit TProcessFixture(uint32_t StartTick = 0x10000) : Platform(Options(StartTick)) {}
    static THeadlessOptions Options(uint32_t StartTick) {
        THeadlessOptions O;
        O.StartTick = StartTick;
        return O;
    }
    void Sleep(uint32_t Ms) { Platform.Clock().Sleep(Ms); }

    THeadlessPlatform Platform;
    TNarvoProcessStack Stack;
    TNarvoProcess Process{&Stack, Platform.Clock()};
};

struct TProcessNearWrap : TProcessFixture {
    TProcessNearWrap() : TProcessFixture(0xFFFFFF00u) {}
};

} // namespace

TEST_F(TProcessFixture, CommandsRunOnlyWhenReady) {
    EXPECT_EQ(Process.PlayerMode, pmExecuting); // until the package is opened
    EXPECT_FALSE(Process.BeginCommand());
    Process.EndCommand();
    ASSERT_TRUE(Process.BeginCommand());
    EXPECT_EQ(Process.PlayerMode, pmExecuting);
    Process.BeginWait(); // a mode a handler sets survives the end of the command
    Process.EndCommand();
    EXPECT_EQ(Process.PlayerMode, pmWaiting);
    EXPECT_FALSE(Process.IsReady());
}

TEST_F(TProcessFixture, TimedWaitEndsAtItsTimeAndRaisesTimedOut) {
    Process.BeginWait();
    Process.SetWaitTimer(1000);
    Sleep(999);
    EXPECT_FALSE(Process.IsReady());
    Sleep(1);
    EXPECT_TRUE(Process.IsReady());
    EXPECT_EQ(Process.PlayerMode, pmReady);
    EXPECT_EQ(Process.WaitCancelTimer, 0);
    EXPECT_TRUE(Process.TakeTimedOut());
    EXPECT_FALSE(Process.TakeTimedOut());

    Process.BeginWait(); // a zero wait ends at the next readiness test
    Process.SetWaitTimer(0);
    EXPECT_TRUE(Process.IsReady());
    EXPECT_TRUE(Process.TakeTimedOut());
}

TEST_F(TProcessNearWrap, WaitAcrossTheWrapOfTheTickCountEndsOnTime) {
    Process.BeginWait();
    Process.SetWaitTimer(1000); // due after the tick count wraps to small numbers
    Sleep(500);
    EXPECT_FALSE(Process.IsReady());
    EXPECT_EQ(Process.GaugeSeconds(), 0);
    Sleep(255); // the tick count wraps here
    EXPECT_FALSE(Process.IsReady());
    Sleep(245);
    EXPECT_TRUE(Process.IsReady());

    Process.PlayerMode = pmMessagePause; // pauses inside messages too
    Process.SetWaitTimer(300);
    Sleep(299);
    EXPECT_FALSE(Process.MessageEffectDue());
    Sleep(1);
    EXPECT_TRUE(Process.MessageEffectDue());
    EXPECT_TRUE(Process.GaugeDue()); // the first call is due wherever the count stands
    EXPECT_FALSE(Process.GaugeDue());
}

TEST_F(TProcessFixture, GaugeSecondsAndGaugeTicks) {
    EXPECT_EQ(Process.GaugeSeconds(), 0); // no timer armed
    Process.SetWaitTimer(2500);
    struct {
        uint32_t Sleep;
        int32_t Seconds;
    } Steps[] = {{0, 2}, {600, 1}, {899, 1}, {1, 1}, {1, 0}, {998, 0}, {1, 0}, {5000, 0}};
    for (const auto& Step : Steps) {
        Sleep(Step.Sleep);
        EXPECT_EQ(Process.GaugeSeconds(), Step.Seconds) << Step.Sleep;
    }
    EXPECT_TRUE(Process.GaugeDue());
    Sleep(500);
    EXPECT_FALSE(Process.GaugeDue()); // due only once the half second is over
    Sleep(1);
    EXPECT_TRUE(Process.GaugeDue());
}

TEST_F(TProcessFixture, ClicksAndKeysByMode) {
    struct {
        int32_t Mode;
        bool ActiveClick;
        bool Anykey;
        int ClickMode;
        bool AnykeyReleases;
        int32_t ModeAfterRelease;
    } Cases[] = {
        {pmReady, false, true, 0, false, pmReady},
        {pmExecuting, false, true, 0, false, pmExecuting},
        {pmWaiting, false, true, 1, true, pmReady},
        {pmWaiting, true, false, 2, false, pmReady},
        {pmMessageEffect, false, true, 0, false, pmMessageEffect},
        {pmMessagePause, false, true, 1, true, pmMessageEffect},
        {pmMessagePause, true, true, 0, true, pmMessageEffect},
    };
    for (const auto& Case : Cases) {
        Process.PlayerMode = Case.Mode;
        Process.WaitCancelActiveClick = Case.ActiveClick;
        Process.WaitCancelAnykeyClick = Case.Anykey;
        EXPECT_EQ(Process.ClickMode(), Case.ClickMode) << Case.Mode;
        EXPECT_EQ(Process.AnykeyReleases(), Case.AnykeyReleases) << Case.Mode;
        Process.ReleaseWait();
        EXPECT_EQ(Process.PlayerMode, Case.ModeAfterRelease) << Case.Mode;
    }
}

TEST_F(TProcessFixture, MessageSkipPassesEveryPauseUntilTheNextWait) {
    Process.StartMessageEffect(2, "text");
    EXPECT_TRUE(Process.MessageEffectDue());
    Process.PauseMessageEffect();
    Process.EnableAnykeyClick();
    EXPECT_FALSE(Process.MessageEffectDue()); // waits for a click
    Process.SetMessageSkip();
    EXPECT_TRUE(Process.MessageEffectDue());
    EXPECT_EQ(Process.PlayerMode, pmMessageEffect);
    Process.EndMessageEffect();
    EXPECT_EQ(Process.PlayerMode, pmReady);
    EXPECT_EQ(Process.MessageEffectLayerName, "");
    Process.BeginWait();
    EXPECT_EQ(Process.MessageSkip, 0);
}

TEST_F(TProcessFixture, StateRoundTripsThroughAFrame) {
    Process.BeginWait();
    Process.SetWaitTimer(750);
    Process.EnableActiveClick();
    Process.MessageEffectWindowIndex = 3;
    Process.MessageEffectLayerName = "L=1";
    Stack.ClearFrame();
    Process.SaveToFrame();
    EXPECT_EQ(Stack.FrameLines(),
              (TStringList{"Stack.PlayerMode=2", "Stack.WaitTime=750", "Stack.WaitCancel.ActiveClick=1",
                           "Stack.WaitCancel.AnykeyClick=0", "Stack.WaitCancel.Timer=1",
                           "Stack.MessageEffect.WindowIndex=3", "Stack.MessageEffect.LayerName=L=1"}));
    Stack.Push();
    Process.Reset();
    EXPECT_EQ(Process.PlayerMode, pmReady);
    ASSERT_TRUE(Stack.Pop());
    Process.LoadFromFrame();
    EXPECT_EQ(Process.PlayerMode, pmWaiting);
    EXPECT_EQ(Process.WaitTime, 750);
    EXPECT_EQ(Process.WaitCancelActiveClick, 1);
    EXPECT_EQ(Process.WaitCancelTimer, 1);
    EXPECT_EQ(Process.MessageEffectLayerName, "L=1");

    Stack.ClearFrame(); // a plain call's frame holds no state: ready, no wait
    Process.LoadFromFrame();
    EXPECT_EQ(Process.PlayerMode, pmReady);
    EXPECT_EQ(Process.WaitCancelTimer, 0);

    TNarvoProcess Orphan(nullptr, Platform.Clock()); // without a stack nothing happens
    Orphan.SaveToFrame();
    Orphan.LoadFromFrame();
    EXPECT_EQ(Orphan.PlayerMode, pmExecuting);
}

TEST(ProcessStack, FramesStackOnBorderLines) {
    TNarvoProcessStack Stack;
    Stack.WriteString("Stack.BookName", "A");
    Stack.WriteString("Stack.PageName", "Q");
    Stack.WriteInteger("Stack.CommandIndex", 7);
    Stack.Push();
    EXPECT_TRUE(Stack.FrameLines().empty());
    Stack.WriteString("Stack.BookName", "B");
    Stack.Push();
    EXPECT_EQ(Stack.Lines(), (TStringList{"Stack.BookName=B", "@StackBorder", "Stack.CommandIndex=7",
                                          "Stack.PageName=Q", "Stack.BookName=A", "@StackBorder"}));
    ASSERT_TRUE(Stack.Pop());
    EXPECT_EQ(Stack.ReadString("Stack.BookName", ""), "B");
    ASSERT_TRUE(Stack.Pop());
    EXPECT_EQ(Stack.ReadString("Stack.PageName", ""), "Q");
    EXPECT_EQ(Stack.ReadInteger("Stack.CommandIndex", 0), 7);
    EXPECT_FALSE(Stack.Pop()); // empty
    EXPECT_EQ(Stack.LineCount(), 0u);

    Stack.SetLines({"@StackBorder"}); // a border alone is no frame, and is consumed
    EXPECT_FALSE(Stack.Pop());
    EXPECT_EQ(Stack.LineCount(), 0u);

    Stack.SetLines({"x=1", "", "y=2", "@StackBorder"}); // an empty line ends a frame too
    ASSERT_TRUE(Stack.Pop());
    EXPECT_EQ(Stack.FrameLines(), (TStringList{"x=1"}));
    TStringList Shown = {"head"};
    Stack.AddLinesTo(Shown);
    EXPECT_EQ(Shown, (TStringList{"head", "y=2", "@StackBorder"}));
}

#include "interp/cp_ctrl.h"

namespace narvo {

namespace {

constexpr const char* KeyPlayerMode = "Stack.PlayerMode";
constexpr const char* KeyWaitTime = "Stack.WaitTime";
constexpr const char* KeyActiveClick = "Stack.WaitCancel.ActiveClick";
constexpr const char* KeyAnykeyClick = "Stack.WaitCancel.AnykeyClick";
constexpr const char* KeyTimer = "Stack.WaitCancel.Timer";
constexpr const char* KeyWindowIndex = "Stack.MessageEffect.WindowIndex";
constexpr const char* KeyLayerName = "Stack.MessageEffect.LayerName";

} // namespace

bool TNarvoProcess::WaitTimerRanOut() const {
    return TickReached(Clock_.TickCount(), WaitStart + static_cast<uint32_t>(WaitTime));
}

bool TNarvoProcess::IsReady() {
    if (PlayerMode == pmReady) return true;
    if (PlayerMode == pmWaiting && WaitCancelTimer && WaitTimerRanOut()) {
        PlayerMode = pmReady;
        ClearWaitCancel();
        TimedOut = 1;
        return true;
    }
    return false;
}

bool TNarvoProcess::BeginCommand() {
    if (!IsReady()) return false;
    PlayerMode = pmExecuting;
    return true;
}

void TNarvoProcess::EndCommand() {
    if (PlayerMode == pmExecuting) PlayerMode = pmReady;
}

bool TNarvoProcess::TakeTimedOut() {
    bool Was = TimedOut != 0;
    TimedOut = 0;
    return Was;
}

void TNarvoProcess::Reset() {
    PlayerMode = pmReady;
    WaitTime = 0;
    ClearWaitCancel();
    MessageEffectWindowIndex = 0;
    MessageEffectLayerName.clear();
}

void TNarvoProcess::BeginWait() {
    ClearWaitCancel();
    PlayerMode = pmWaiting;
    MessageSkip = 0;
}

void TNarvoProcess::SetWaitTimer(int32_t Ms) {
    WaitStart = Clock_.TickCount();
    WaitTime = Ms;
    WaitCancelTimer = 1;
}

void TNarvoProcess::ReleaseWait() {
    if (PlayerMode == pmWaiting) {
        PlayerMode = pmReady;
        ClearWaitCancel();
    } else if (PlayerMode == pmMessagePause) {
        ClearWaitCancel();
        PlayerMode = pmMessageEffect;
    }
}

bool TNarvoProcess::AnykeyReleases() const {
    return (PlayerMode == pmWaiting || PlayerMode == pmMessagePause) && WaitCancelAnykeyClick;
}

int TNarvoProcess::ClickMode() const {
    if (WaitCancelActiveClick) return PlayerMode == pmWaiting ? 2 : 0;
    return (PlayerMode == pmWaiting || PlayerMode == pmMessagePause) ? 1 : 0;
}

void TNarvoProcess::StartMessageEffect(int32_t WindowIndex, const std::string& LayerName) {
    MessageEffectWindowIndex = WindowIndex;
    MessageEffectLayerName = LayerName;
    PlayerMode = pmMessageEffect;
}

void TNarvoProcess::PauseMessageEffect() {
    ClearWaitCancel();
    PlayerMode = pmMessagePause;
}

bool TNarvoProcess::MessageEffectDue() {
    if (PlayerMode != pmMessageEffect && PlayerMode != pmMessagePause) return false;
    if (MessageSkip) PlayerMode = pmMessageEffect;
    if (PlayerMode == pmMessageEffect) return true;
    if (!WaitCancelTimer || !WaitTimerRanOut()) return false;
    PlayerMode = pmMessageEffect;
    ClearWaitCancel();
    return true;
}

void TNarvoProcess::EndMessageEffect() {
    if (PlayerMode == pmMessageEffect || PlayerMode == pmMessagePause) PlayerMode = pmReady;
    MessageEffectWindowIndex = 0;
    MessageEffectLayerName.clear();
}

bool TNarvoProcess::GaugeDue() {
    uint32_t Now = Clock_.TickCount();
    // The first call is always due, wherever the tick count stands.
    if (GaugeStarted_ && !TickReached(Now, NextGaugeTick + 1)) return false;
    GaugeStarted_ = true;
    NextGaugeTick = Now + 500;
    return true;
}

int32_t TNarvoProcess::GaugeSeconds() const {
    if (!WaitCancelTimer) return 0;
    int32_t Left = static_cast<int32_t>(WaitStart + static_cast<uint32_t>(WaitTime) - Clock_.TickCount());
    return Left > 0 ? Left / 1000 : 0;
}

void TNarvoProcess::SaveToFrame() {
    if (!Stack) return;
    Stack->WriteInteger(KeyPlayerMode, PlayerMode);
    Stack->WriteInteger(KeyWaitTime, WaitTime);
    Stack->WriteBool(KeyActiveClick, WaitCancelActiveClick);
    Stack->WriteBool(KeyAnykeyClick, WaitCancelAnykeyClick);
    Stack->WriteBool(KeyTimer, WaitCancelTimer);
    Stack->WriteInteger(KeyWindowIndex, MessageEffectWindowIndex);
    Stack->WriteString(KeyLayerName, MessageEffectLayerName);
}

void TNarvoProcess::LoadFromFrame() {
    if (!Stack) return;
    PlayerMode = Stack->ReadInteger(KeyPlayerMode, 0);
    WaitTime = Stack->ReadInteger(KeyWaitTime, 0);
    WaitCancelActiveClick = Stack->ReadBool(KeyActiveClick, false);
    WaitCancelAnykeyClick = Stack->ReadBool(KeyAnykeyClick, false);
    WaitCancelTimer = Stack->ReadBool(KeyTimer, false);
    MessageEffectWindowIndex = Stack->ReadInteger(KeyWindowIndex, 0);
    MessageEffectLayerName = Stack->ReadString(KeyLayerName, "");
}

} // namespace narvo

// The interpreter's execution state between commands: whether the next command may
// run, whether the reader is being waited for and what ends the wait (a timer, any
// click or key, a click on a clickable layer), and whether a message is being revealed.
// A subroutine call can keep this state in its call-stack frame.
#pragma once

#include "interp/cp_stack.h"
#include "platform/platform.h"

#include <cstdint>
#include <string>

namespace narvo {

enum TPlayerMode : int32_t {
    pmReady = 0,
    pmExecuting = 1,
    pmWaiting = 2,
    pmMessageEffect = 3,
    pmMessagePause = 4,
};

class TNarvoProcess {
public:
    TNarvoProcess(TNarvoProcessStack* Stack, const IClock& Clock) : Stack(Stack), Clock_(Clock) {}

    TNarvoProcessStack* Stack; // not owned; may be null
    uint32_t WaitStart = 0;
    int32_t WaitTime = 0;
    uint32_t NextGaugeTick = 0;
    uint8_t TimedOut = 0;
    int32_t PlayerMode = pmExecuting;
    uint8_t WaitCancelActiveClick = 0;
    uint8_t WaitCancelAnykeyClick = 0;
    uint8_t WaitCancelTimer = 0;
    uint8_t MessageSkip = 0;
    int32_t MessageEffectWindowIndex = 0;
    std::string MessageEffectLayerName;

    bool IsReady();
    bool BeginCommand();
    void EndCommand();
    bool TakeTimedOut();
    void Reset();

    void BeginWait();
    void SetWaitTimer(int32_t Ms);
    void EnableAnykeyClick() { WaitCancelAnykeyClick = 1; }
    void EnableActiveClick() { WaitCancelActiveClick = 1; }
    void ReleaseWait();
    bool AnykeyReleases() const;
    // 0: a click does nothing; 1: any click releases; 2: only a click on an active
    // clickable layer counts.
    int ClickMode() const;

    void StartMessageEffect(int32_t WindowIndex, const std::string& LayerName);
    void PauseMessageEffect();
    bool MessageEffectDue();
    void EndMessageEffect();
    void SetMessageSkip() { MessageSkip = 1; }
    void ClearMessageSkip() { MessageSkip = 0; }

    bool GaugeDue();
    int32_t GaugeSeconds() const;

    void SaveToFrame();
    void LoadFromFrame();

private:
    void ClearWaitCancel() { WaitCancelActiveClick = WaitCancelAnykeyClick = WaitCancelTimer = 0; }
    // The armed timer has run out. Compared by the signed difference of tick counts, so
    // that a wait that spans the wrap of the 32-bit tick count ends on time.
    bool WaitTimerRanOut() const;

    const IClock& Clock_;
    bool GaugeStarted_ = false;
};

} // namespace narvo

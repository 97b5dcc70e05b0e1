// The timers of an application loop, kept on a 64-bit millisecond time line that the
// backend supplies (real or virtual). Both backends schedule through it, so timers
// behave the same in the real window and in headless runs.
#pragma once

#include "platform/platform.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

namespace narvo {

class TTimerList {
public:
    TTimerId Create(uint32_t IntervalMs, std::function<void()> OnTimer);
    void SetEnabled(TTimerId Id, bool Enabled, uint64_t Now);
    void SetInterval(TTimerId Id, uint32_t IntervalMs, uint64_t Now);
    bool Enabled(TTimerId Id) const;

    // The earliest time an enabled timer is due, if any.
    std::optional<uint64_t> NextDue() const;
    // Ticks every timer due at `Now` once; a timer that fell several intervals behind
    // ticks once and keeps its phase. Answers whether any timer ticked.
    bool FireDue(uint64_t Now);

private:
    struct TTimer {
        uint32_t Interval = 0;
        bool Enabled = false;
        uint64_t Due = 0;
        std::function<void()> OnTimer;
    };
    TTimer& Get(TTimerId Id);
    const TTimer& Get(TTimerId Id) const;
    std::vector<TTimer> Timers_;
};

} // namespace narvo

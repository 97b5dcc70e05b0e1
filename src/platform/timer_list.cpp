#include "platform/timer_list.h"

#include <cassert>

namespace narvo {

TTimerId TTimerList::Create(uint32_t IntervalMs, std::function<void()> OnTimer) {
    Timers_.push_back(TTimer{IntervalMs, false, 0, std::move(OnTimer)});
    return static_cast<TTimerId>(Timers_.size() - 1);
}

TTimerList::TTimer& TTimerList::Get(TTimerId Id) {
    assert(Id >= 0 && size_t(Id) < Timers_.size());
    return Timers_[size_t(Id)];
}

const TTimerList::TTimer& TTimerList::Get(TTimerId Id) const {
    assert(Id >= 0 && size_t(Id) < Timers_.size());
    return Timers_[size_t(Id)];
}

void TTimerList::SetEnabled(TTimerId Id, bool Enabled, uint64_t Now) {
    TTimer& Timer = Get(Id);
    if (Enabled && !Timer.Enabled) Timer.Due = Now + (Timer.Interval ? Timer.Interval : 1);
    Timer.Enabled = Enabled;
}

void TTimerList::SetInterval(TTimerId Id, uint32_t IntervalMs, uint64_t Now) {
    TTimer& Timer = Get(Id);
    Timer.Interval = IntervalMs;
    if (Timer.Enabled) Timer.Due = Now + (IntervalMs ? IntervalMs : 1);
}

bool TTimerList::Enabled(TTimerId Id) const { return Get(Id).Enabled; }

std::optional<uint64_t> TTimerList::NextDue() const {
    std::optional<uint64_t> Next;
    for (const TTimer& Timer : Timers_)
        if (Timer.Enabled && (!Next || Timer.Due < *Next)) Next = Timer.Due;
    return Next;
}

bool TTimerList::FireDue(uint64_t Now) {
    bool Fired = false;
    // Index loop: a handler may create timers, which can move the vector.
    for (size_t I = 0; I < Timers_.size(); ++I) {
        if (!Timers_[I].Enabled || Timers_[I].Due > Now) continue;
        uint64_t Interval = Timers_[I].Interval ? Timers_[I].Interval : 1;
        // Advance the schedule before the handler runs, so that a nested message loop
        // inside the handler does not tick this timer again for the same interval.
        Timers_[I].Due += ((Now - Timers_[I].Due) / Interval + 1) * Interval;
        std::function<void()> Handler = Timers_[I].OnTimer;
        Fired = true;
        if (Handler) Handler();
    }
    return Fired;
}

} // namespace narvo

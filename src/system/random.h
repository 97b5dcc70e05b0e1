// The player's one pseudo-random generator, shared by the "@乱数" system value and the
// transition effects. The player seeds it from the clock at start-up; headless runs
// seed it with a fixed value so that every run of a work is the same.
#pragma once

#include <cstdint>

namespace narvo {

class TRandom {
public:
    explicit TRandom(uint64_t Seed = 0) { SetSeed(Seed); }

    void SetSeed(uint64_t Seed);
    // The next value from 0 to 2^31 - 1.
    int32_t Next();
    // A value from 0 to `Range` - 1; 0 when `Range` is 0 or less.
    int32_t Below(int32_t Range);

private:
    uint64_t State_ = 0;
    uint64_t Increment_ = 0;
};

} // namespace narvo

#include "system/random.h"

namespace narvo {

// PCG-XSH-RR 64/32: small state, good statistics, and the same sequence on every
// machine for a given seed.
void TRandom::SetSeed(uint64_t Seed) {
    State_ = 0;
    Increment_ = (Seed << 1) | 1u;
    Next();
    State_ += Seed ^ 0x853c49e6748fea9bULL;
    Next();
}

int32_t TRandom::Next() {
    uint64_t Old = State_;
    State_ = Old * 6364136223846793005ULL + Increment_;
    uint32_t Xorshifted = static_cast<uint32_t>(((Old >> 18u) ^ Old) >> 27u);
    uint32_t Rot = static_cast<uint32_t>(Old >> 59u);
    uint32_t Value = (Xorshifted >> Rot) | (Xorshifted << ((32u - Rot) & 31u));
    return static_cast<int32_t>(Value >> 1);
}

int32_t TRandom::Below(int32_t Range) {
    if (Range <= 0) return 0;
    // Multiply-shift keeps the result unbiased enough for effects and dice.
    return static_cast<int32_t>((static_cast<uint64_t>(static_cast<uint32_t>(Next())) *
                                 static_cast<uint64_t>(Range)) >> 31);
}

} // namespace narvo

// Row kernels of the surface's copies and blends, in a scalar form and in vector forms
// chosen at run time. Every path gives the same bytes: the blend is the exact integer
// formula ((255 - m) * d + m * s) >> 8 per channel, bits 24 to 31 cleared.
#pragma once

#include <cstdint>

namespace narvo::pixels {

struct TKernels {
    // d = s where m != 0.
    void (*MaskRow)(uint32_t* D, const uint32_t* S, const uint8_t* M, int N);
    // Blend with weight m where m != 0.
    void (*AlphaRow)(uint32_t* D, const uint32_t* S, const uint8_t* M, int N);
    // Blend with the constant weight A everywhere.
    void (*BlendRow)(uint32_t* D, const uint32_t* S, uint8_t A, int N);
};

// The kernels in use (the widest path the processor runs unless one was forced).
const TKernels& Kernels();

} // namespace narvo::pixels

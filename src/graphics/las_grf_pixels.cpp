#include "graphics/las_grf_pixels.h"

#include "graphics/las_grf.h"

#include <atomic>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define NARVO_X86 1
#endif

namespace narvo::pixels {

namespace {

// --- Scalar: the reference every vector path must equal ----------------------------

inline uint32_t BlendPixel(uint32_t D, uint32_t S, uint32_t M) {
    uint32_t Inv = 255 - M;
    uint32_t B = ((Inv * (D & 0xFF) + M * (S & 0xFF)) >> 8);
    uint32_t G = ((Inv * ((D >> 8) & 0xFF) + M * ((S >> 8) & 0xFF)) >> 8);
    uint32_t R = ((Inv * ((D >> 16) & 0xFF) + M * ((S >> 16) & 0xFF)) >> 8);
    return B | (G << 8) | (R << 16);
}

void MaskRowScalar(uint32_t* D, const uint32_t* S, const uint8_t* M, int N) {
    for (int I = 0; I < N; ++I)
        if (M[I]) D[I] = S[I];
}

void AlphaRowScalar(uint32_t* D, const uint32_t* S, const uint8_t* M, int N) {
    for (int I = 0; I < N; ++I)
        if (M[I]) D[I] = BlendPixel(D[I], S[I], M[I]);
}

void BlendRowScalar(uint32_t* D, const uint32_t* S, uint8_t A, int N) {
    for (int I = 0; I < N; ++I) D[I] = BlendPixel(D[I], S[I], A);
}

const TKernels ScalarKernels = {MaskRowScalar, AlphaRowScalar, BlendRowScalar};

#ifdef NARVO_X86

// The vector paths blend channel pairs in 16-bit lanes without byte shuffles: the
// "even" word of a pixel holds blue and red (mask 0x00FF00FF), the "odd" word green and
// bits 24 to 31 (shifted down by 8). Per lane, ((255 - m) * d + m * s) is computed as
// 255 * d + m * (s - d): the product wraps, but the true sum lies in 0..65025, so the
// sum modulo 2^16 is exact and so is the shift right by 8.

// --- SSE2: four pixels at a time; every x86-64 processor has it ----------------------

// 255 * d + m * (s - d) per 16-bit lane, not yet shifted down.
inline __m128i BlendLanes(__m128i D16, __m128i S16, __m128i M16) {
    __m128i R = _mm_sub_epi16(_mm_slli_epi16(D16, 8), D16);
    return _mm_add_epi16(R, _mm_mullo_epi16(M16, _mm_sub_epi16(S16, D16)));
}

// M16 holds each pixel's weight in both 16-bit halves of its 32-bit lane. The blue/red
// sums are shifted down into place; of the green/alpha sums only green's high byte is
// kept, already in place, which also clears bits 24 to 31.
inline __m128i Blend4(__m128i D, __m128i S, __m128i M16) {
    const __m128i Low = _mm_set1_epi32(0x00FF00FF);
    __m128i Even = BlendLanes(_mm_and_si128(D, Low), _mm_and_si128(S, Low), M16);
    __m128i Odd = BlendLanes(_mm_srli_epi16(D, 8), _mm_srli_epi16(S, 8), M16);
    return _mm_or_si128(_mm_srli_epi16(Even, 8), _mm_and_si128(Odd, _mm_set1_epi32(0x0000FF00)));
}

// Four mask bytes as four 32-bit lanes.
inline __m128i Mask4(const uint8_t* M) {
    uint32_t Bytes;
    __builtin_memcpy(&Bytes, M, 4);
    const __m128i Zero = _mm_setzero_si128();
    return _mm_unpacklo_epi16(_mm_unpacklo_epi8(_mm_cvtsi32_si128(int(Bytes)), Zero), Zero);
}

void MaskRowSse2(uint32_t* D, const uint32_t* S, const uint8_t* M, int N) {
    int I = 0;
    const __m128i Zero = _mm_setzero_si128();
    for (; I + 4 <= N; I += 4) {
        __m128i Keep = _mm_cmpeq_epi32(Mask4(M + I), Zero);
        __m128i Dv = _mm_loadu_si128(reinterpret_cast<const __m128i*>(D + I));
        __m128i Sv = _mm_loadu_si128(reinterpret_cast<const __m128i*>(S + I));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(D + I),
                         _mm_or_si128(_mm_and_si128(Keep, Dv), _mm_andnot_si128(Keep, Sv)));
    }
    MaskRowScalar(D + I, S + I, M + I, N - I);
}

void AlphaRowSse2(uint32_t* D, const uint32_t* S, const uint8_t* M, int N) {
    int I = 0;
    const __m128i Zero = _mm_setzero_si128();
    for (; I + 4 <= N; I += 4) {
        uint32_t Bytes;
        __builtin_memcpy(&Bytes, M + I, 4);
        if (Bytes == 0) continue;
        __m128i M32 = Mask4(M + I);
        __m128i Keep = _mm_cmpeq_epi32(M32, Zero);
        __m128i Dv = _mm_loadu_si128(reinterpret_cast<const __m128i*>(D + I));
        __m128i Sv = _mm_loadu_si128(reinterpret_cast<const __m128i*>(S + I));
        __m128i R = Blend4(Dv, Sv, _mm_or_si128(M32, _mm_slli_epi32(M32, 16)));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(D + I),
                         _mm_or_si128(_mm_and_si128(Keep, Dv), _mm_andnot_si128(Keep, R)));
    }
    AlphaRowScalar(D + I, S + I, M + I, N - I);
}

void BlendRowSse2(uint32_t* D, const uint32_t* S, uint8_t A, int N) {
    int I = 0;
    const __m128i Av = _mm_set1_epi16(A);
    for (; I + 4 <= N; I += 4) {
        __m128i Dv = _mm_loadu_si128(reinterpret_cast<const __m128i*>(D + I));
        __m128i Sv = _mm_loadu_si128(reinterpret_cast<const __m128i*>(S + I));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(D + I), Blend4(Dv, Sv, Av));
    }
    BlendRowScalar(D + I, S + I, A, N - I);
}

const TKernels Sse2Kernels = {MaskRowSse2, AlphaRowSse2, BlendRowSse2};

// --- AVX2: eight pixels at a time, chosen when the processor has it -----------------

#define NARVO_AVX2 __attribute__((target("avx2")))

NARVO_AVX2 inline __m256i BlendLanes8(__m256i D16, __m256i S16, __m256i M16) {
    __m256i R = _mm256_sub_epi16(_mm256_slli_epi16(D16, 8), D16);
    return _mm256_add_epi16(R, _mm256_mullo_epi16(M16, _mm256_sub_epi16(S16, D16)));
}

NARVO_AVX2 inline __m256i Blend8(__m256i D, __m256i S, __m256i M16) {
    const __m256i Low = _mm256_set1_epi32(0x00FF00FF);
    __m256i Even = BlendLanes8(_mm256_and_si256(D, Low), _mm256_and_si256(S, Low), M16);
    __m256i Odd = BlendLanes8(_mm256_srli_epi16(D, 8), _mm256_srli_epi16(S, 8), M16);
    return _mm256_or_si256(_mm256_srli_epi16(Even, 8),
                           _mm256_and_si256(Odd, _mm256_set1_epi32(0x0000FF00)));
}

NARVO_AVX2 inline __m256i Mask8(const uint8_t* M) {
    return _mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(M)));
}

NARVO_AVX2 void MaskRowAvx2(uint32_t* D, const uint32_t* S, const uint8_t* M, int N) {
    int I = 0;
    const __m256i Zero = _mm256_setzero_si256();
    for (; I + 8 <= N; I += 8) {
        __m256i Keep = _mm256_cmpeq_epi32(Mask8(M + I), Zero);
        __m256i Dv = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(D + I));
        __m256i Sv = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(S + I));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(D + I), _mm256_blendv_epi8(Sv, Dv, Keep));
    }
    MaskRowScalar(D + I, S + I, M + I, N - I);
}

NARVO_AVX2 void AlphaRowAvx2(uint32_t* D, const uint32_t* S, const uint8_t* M, int N) {
    int I = 0;
    const __m256i Zero = _mm256_setzero_si256();
    for (; I + 8 <= N; I += 8) {
        uint64_t Bytes;
        __builtin_memcpy(&Bytes, M + I, 8);
        if (Bytes == 0) continue;
        __m256i M32 = Mask8(M + I);
        __m256i Keep = _mm256_cmpeq_epi32(M32, Zero);
        __m256i Dv = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(D + I));
        __m256i Sv = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(S + I));
        __m256i R = Blend8(Dv, Sv, _mm256_or_si256(M32, _mm256_slli_epi32(M32, 16)));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(D + I), _mm256_blendv_epi8(R, Dv, Keep));
    }
    AlphaRowScalar(D + I, S + I, M + I, N - I);
}

NARVO_AVX2 void BlendRowAvx2(uint32_t* D, const uint32_t* S, uint8_t A, int N) {
    int I = 0;
    const __m256i Av = _mm256_set1_epi16(A);
    for (; I + 8 <= N; I += 8) {
        __m256i Dv = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(D + I));
        __m256i Sv = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(S + I));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(D + I), Blend8(Dv, Sv, Av));
    }
    BlendRowScalar(D + I, S + I, A, N - I);
}

const TKernels Avx2Kernels = {MaskRowAvx2, AlphaRowAvx2, BlendRowAvx2};

// --- AVX-512 (BW): sixteen pixels at a time -------------------------------------------

#define NARVO_AVX512 __attribute__((target("avx512f,avx512bw")))

// gcc 12 warns about the deliberately undefined first operand inside its own AVX-512
// intrinsics.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

NARVO_AVX512 inline __m512i BlendLanes16(__m512i D16, __m512i S16, __m512i M16) {
    __m512i R = _mm512_sub_epi16(_mm512_slli_epi16(D16, 8), D16);
    return _mm512_add_epi16(R, _mm512_mullo_epi16(M16, _mm512_sub_epi16(S16, D16)));
}

NARVO_AVX512 inline __m512i Blend16(__m512i D, __m512i S, __m512i M16) {
    const __m512i Low = _mm512_set1_epi32(0x00FF00FF);
    __m512i Even = BlendLanes16(_mm512_and_si512(D, Low), _mm512_and_si512(S, Low), M16);
    __m512i Odd = BlendLanes16(_mm512_srli_epi16(D, 8), _mm512_srli_epi16(S, 8), M16);
    // Even >> 8, or Odd's green byte: one three-input logic operation after the shift.
    return _mm512_ternarylogic_epi32(_mm512_srli_epi16(Even, 8), Odd, _mm512_set1_epi32(0x0000FF00), 0xF8);
}

NARVO_AVX512 inline __m512i Mask16(const uint8_t* M) {
    return _mm512_cvtepu8_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(M)));
}

NARVO_AVX512 void MaskRowAvx512(uint32_t* D, const uint32_t* S, const uint8_t* M, int N) {
    int I = 0;
    for (; I + 16 <= N; I += 16) {
        __mmask16 Take = _mm512_test_epi32_mask(Mask16(M + I), Mask16(M + I));
        __m512i Sv = _mm512_loadu_si512(S + I);
        _mm512_mask_storeu_epi32(D + I, Take, Sv);
    }
    MaskRowScalar(D + I, S + I, M + I, N - I);
}

NARVO_AVX512 void AlphaRowAvx512(uint32_t* D, const uint32_t* S, const uint8_t* M, int N) {
    int I = 0;
    for (; I + 16 <= N; I += 16) {
        __m512i M32 = Mask16(M + I);
        __mmask16 Take = _mm512_test_epi32_mask(M32, M32);
        if (!Take) continue;
        __m512i Dv = _mm512_loadu_si512(D + I);
        __m512i Sv = _mm512_loadu_si512(S + I);
        __m512i R = Blend16(Dv, Sv, _mm512_or_si512(M32, _mm512_slli_epi32(M32, 16)));
        _mm512_mask_storeu_epi32(D + I, Take, R);
    }
    AlphaRowScalar(D + I, S + I, M + I, N - I);
}

NARVO_AVX512 void BlendRowAvx512(uint32_t* D, const uint32_t* S, uint8_t A, int N) {
    int I = 0;
    const __m512i Av = _mm512_set1_epi16(A);
    for (; I + 16 <= N; I += 16) {
        __m512i Dv = _mm512_loadu_si512(D + I);
        __m512i Sv = _mm512_loadu_si512(S + I);
        _mm512_storeu_si512(D + I, Blend16(Dv, Sv, Av));
    }
    BlendRowScalar(D + I, S + I, A, N - I);
}

const TKernels Avx512Kernels = {MaskRowAvx512, AlphaRowAvx512, BlendRowAvx512};

#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif

bool HasAvx512() {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw");
}

bool HasAvx2() {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2");
}

#endif // NARVO_X86

const TKernels& KernelsFor(TPixelPath Path) {
    switch (Path) {
#ifdef NARVO_X86
    case TPixelPath::Sse2: return Sse2Kernels;
    case TPixelPath::Avx2: return Avx2Kernels;
    case TPixelPath::Avx512: return Avx512Kernels;
#endif
    default: return ScalarKernels;
    }
}

TPixelPath BestPath() {
#ifdef NARVO_X86
    return HasAvx512() ? TPixelPath::Avx512 : HasAvx2() ? TPixelPath::Avx2 : TPixelPath::Sse2;
#else
    return TPixelPath::Scalar;
#endif
}

std::atomic<const TKernels*> Current{nullptr};

} // namespace

const TKernels& Kernels() {
    const TKernels* K = Current.load(std::memory_order_relaxed);
    if (!K) {
        K = &KernelsFor(BestPath());
        Current.store(K, std::memory_order_relaxed);
    }
    return *K;
}

} // namespace narvo::pixels

namespace narvo {

std::vector<TPixelPath> AvailablePixelPaths() {
    std::vector<TPixelPath> Paths{TPixelPath::Scalar};
#ifdef NARVO_X86
    Paths.push_back(TPixelPath::Sse2);
    if (pixels::HasAvx2()) Paths.push_back(TPixelPath::Avx2);
    if (pixels::HasAvx512()) Paths.push_back(TPixelPath::Avx512);
#endif
    return Paths;
}

void ForcePixelPath(std::optional<TPixelPath> Path) {
    pixels::Current.store(Path ? &pixels::KernelsFor(*Path) : &pixels::KernelsFor(pixels::BestPath()),
                          std::memory_order_relaxed);
}

const char* PixelPathName(TPixelPath Path) {
    switch (Path) {
    case TPixelPath::Scalar: return "scalar";
    case TPixelPath::Sse2: return "sse2";
    case TPixelPath::Avx2: return "avx2";
    case TPixelPath::Avx512: return "avx512";
    }
    return "?";
}

} // namespace narvo

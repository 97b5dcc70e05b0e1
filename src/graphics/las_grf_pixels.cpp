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

// --- SSE2: four pixels at a time; every x86-64 processor has it ----------------------

// Four mask bytes, each spread over the four bytes of its pixel.
inline __m128i SpreadMask4(const uint8_t* M) {
    uint32_t Bytes;
    __builtin_memcpy(&Bytes, M, 4);
    __m128i X = _mm_cvtsi32_si128(int(Bytes));
    X = _mm_unpacklo_epi8(X, X);
    return _mm_unpacklo_epi16(X, X);
}

// ((255 - m) * d + m * s) >> 8 per byte, m given per byte.
inline __m128i Blend4(__m128i D, __m128i S, __m128i M) {
    const __m128i Zero = _mm_setzero_si128();
    __m128i Inv = _mm_xor_si128(M, _mm_set1_epi8(-1));
    __m128i Lo = _mm_add_epi16(_mm_mullo_epi16(_mm_unpacklo_epi8(Inv, Zero), _mm_unpacklo_epi8(D, Zero)),
                               _mm_mullo_epi16(_mm_unpacklo_epi8(M, Zero), _mm_unpacklo_epi8(S, Zero)));
    __m128i Hi = _mm_add_epi16(_mm_mullo_epi16(_mm_unpackhi_epi8(Inv, Zero), _mm_unpackhi_epi8(D, Zero)),
                               _mm_mullo_epi16(_mm_unpackhi_epi8(M, Zero), _mm_unpackhi_epi8(S, Zero)));
    __m128i R = _mm_packus_epi16(_mm_srli_epi16(Lo, 8), _mm_srli_epi16(Hi, 8));
    return _mm_and_si128(R, _mm_set1_epi32(0x00FFFFFF));
}

void MaskRowSse2(uint32_t* D, const uint32_t* S, const uint8_t* M, int N) {
    int I = 0;
    const __m128i Zero = _mm_setzero_si128();
    for (; I + 4 <= N; I += 4) {
        __m128i Keep = _mm_cmpeq_epi32(SpreadMask4(M + I), Zero);
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
        __m128i Mv = SpreadMask4(M + I);
        __m128i Keep = _mm_cmpeq_epi32(Mv, Zero);
        __m128i Dv = _mm_loadu_si128(reinterpret_cast<const __m128i*>(D + I));
        __m128i Sv = _mm_loadu_si128(reinterpret_cast<const __m128i*>(S + I));
        __m128i R = Blend4(Dv, Sv, Mv);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(D + I),
                         _mm_or_si128(_mm_and_si128(Keep, Dv), _mm_andnot_si128(Keep, R)));
    }
    AlphaRowScalar(D + I, S + I, M + I, N - I);
}

void BlendRowSse2(uint32_t* D, const uint32_t* S, uint8_t A, int N) {
    int I = 0;
    const __m128i Av = _mm_set1_epi8(char(A));
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

NARVO_AVX2 inline __m256i SpreadMask8(const uint8_t* M) {
    __m256i X = _mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(M)));
    const __m256i Spread = _mm256_setr_epi8(0, 0, 0, 0, 4, 4, 4, 4, 8, 8, 8, 8, 12, 12, 12, 12,
                                            0, 0, 0, 0, 4, 4, 4, 4, 8, 8, 8, 8, 12, 12, 12, 12);
    return _mm256_shuffle_epi8(X, Spread);
}

NARVO_AVX2 inline __m256i Blend8(__m256i D, __m256i S, __m256i M) {
    const __m256i Zero = _mm256_setzero_si256();
    __m256i Inv = _mm256_xor_si256(M, _mm256_set1_epi8(-1));
    __m256i Lo = _mm256_add_epi16(
        _mm256_mullo_epi16(_mm256_unpacklo_epi8(Inv, Zero), _mm256_unpacklo_epi8(D, Zero)),
        _mm256_mullo_epi16(_mm256_unpacklo_epi8(M, Zero), _mm256_unpacklo_epi8(S, Zero)));
    __m256i Hi = _mm256_add_epi16(
        _mm256_mullo_epi16(_mm256_unpackhi_epi8(Inv, Zero), _mm256_unpackhi_epi8(D, Zero)),
        _mm256_mullo_epi16(_mm256_unpackhi_epi8(M, Zero), _mm256_unpackhi_epi8(S, Zero)));
    __m256i R = _mm256_packus_epi16(_mm256_srli_epi16(Lo, 8), _mm256_srli_epi16(Hi, 8));
    return _mm256_and_si256(R, _mm256_set1_epi32(0x00FFFFFF));
}

NARVO_AVX2 void MaskRowAvx2(uint32_t* D, const uint32_t* S, const uint8_t* M, int N) {
    int I = 0;
    const __m256i Zero = _mm256_setzero_si256();
    for (; I + 8 <= N; I += 8) {
        __m256i Take = _mm256_cmpgt_epi32(_mm256_cvtepu8_epi32(_mm_loadl_epi64(
                                              reinterpret_cast<const __m128i*>(M + I))),
                                          Zero);
        __m256i Dv = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(D + I));
        __m256i Sv = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(S + I));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(D + I), _mm256_blendv_epi8(Dv, Sv, Take));
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
        __m256i Mv = SpreadMask8(M + I);
        __m256i Keep = _mm256_cmpeq_epi32(Mv, Zero);
        __m256i Dv = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(D + I));
        __m256i Sv = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(S + I));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(D + I),
                            _mm256_blendv_epi8(Blend8(Dv, Sv, Mv), Dv, Keep));
    }
    AlphaRowScalar(D + I, S + I, M + I, N - I);
}

NARVO_AVX2 void BlendRowAvx2(uint32_t* D, const uint32_t* S, uint8_t A, int N) {
    int I = 0;
    const __m256i Av = _mm256_set1_epi8(char(A));
    for (; I + 8 <= N; I += 8) {
        __m256i Dv = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(D + I));
        __m256i Sv = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(S + I));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(D + I), Blend8(Dv, Sv, Av));
    }
    BlendRowScalar(D + I, S + I, A, N - I);
}

const TKernels Avx2Kernels = {MaskRowAvx2, AlphaRowAvx2, BlendRowAvx2};

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
#endif
    default: return ScalarKernels;
    }
}

TPixelPath BestPath() {
#ifdef NARVO_X86
    return HasAvx2() ? TPixelPath::Avx2 : TPixelPath::Sse2;
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
    }
    return "?";
}

} // namespace narvo

// Copies and blends of the graphic surface against memcpy of the same bytes and pixman's
// OVER composite of the same size. Arguments: width, height, pixel path (0 automatic,
// 1 scalar, 2 SSE2, 3 AVX2, 4 AVX-512 when the processor has them).
#include "graphics/las_grf.h"

#include <benchmark/benchmark.h>
#include <pixman.h>

#include <cstring>
#include <random>

namespace {

using namespace narvo;

void Fill(TLasGraphic& G, uint32_t Seed) {
    std::mt19937 Rng(Seed);
    for (auto& W : G.ColourPlane->Pixels) W = Rng();
    if (G.MaskPlane)
        for (auto& M : G.MaskPlane->Bytes) M = uint8_t(Rng());
}

bool ChoosePath(benchmark::State& State) {
    int64_t P = State.range(2);
    if (P == 0) {
        ForcePixelPath(std::nullopt);
        return true;
    }
    TPixelPath Path = P == 1   ? TPixelPath::Scalar
                      : P == 2 ? TPixelPath::Sse2
                      : P == 3 ? TPixelPath::Avx2
                               : TPixelPath::Avx512;
    for (auto A : AvailablePixelPaths())
        if (A == Path) {
            ForcePixelPath(Path);
            State.SetLabel(PixelPathName(Path));
            return true;
        }
    State.SkipWithError("path not available on this processor");
    return false;
}

template <TAlphaMode Mode>
void BM_DrawTo(benchmark::State& State) {
    int W = int(State.range(0)), H = int(State.range(1));
    if (!ChoosePath(State)) return;
    TLasGraphic Src, Dst;
    Src.SetAlphaMode(Mode);
    Src.SetSize(W, H);
    Dst.SetSize(W, H);
    Fill(Src, 1);
    Fill(Dst, 2);
    for (auto _ : State) {
        Src.DrawTo(Dst, 0, 0, W, H, 0, 0);
        benchmark::DoNotOptimize(Dst.ColourPlane->Pixels.data());
    }
    State.SetBytesProcessed(State.iterations() * int64_t(W) * H * 4);
    ForcePixelPath(std::nullopt);
}

void BM_BlendTo(benchmark::State& State) {
    int W = int(State.range(0)), H = int(State.range(1));
    if (!ChoosePath(State)) return;
    TLasGraphic Src, Dst;
    Src.SetSize(W, H);
    Dst.SetSize(W, H);
    Fill(Src, 1);
    Fill(Dst, 2);
    for (auto _ : State) {
        Src.BlendTo(Dst, 0, 0, W, H, 0, 0, 100);
        benchmark::DoNotOptimize(Dst.ColourPlane->Pixels.data());
    }
    State.SetBytesProcessed(State.iterations() * int64_t(W) * H * 4);
    ForcePixelPath(std::nullopt);
}

void BM_Memcpy(benchmark::State& State) {
    size_t Bytes = size_t(State.range(0)) * size_t(State.range(1)) * 4;
    std::vector<uint8_t> Src(Bytes, 1), Dst(Bytes, 2);
    for (auto _ : State) {
        std::memcpy(Dst.data(), Src.data(), Bytes);
        benchmark::DoNotOptimize(Dst.data());
    }
    State.SetBytesProcessed(State.iterations() * int64_t(Bytes));
}

// Non-premultiplied ARGB over an opaque destination, the nearest thing pixman does to a
// masked blend.
void BM_PixmanOver(benchmark::State& State) {
    int W = int(State.range(0)), H = int(State.range(1));
    std::vector<uint32_t> Src(size_t(W) * H), Dst(size_t(W) * H);
    std::mt19937 Rng(1);
    for (auto& P : Src) P = Rng();
    for (auto& P : Dst) P = Rng();
    pixman_image_t* S = pixman_image_create_bits(PIXMAN_a8r8g8b8, W, H, Src.data(), W * 4);
    pixman_image_t* D = pixman_image_create_bits(PIXMAN_x8r8g8b8, W, H, Dst.data(), W * 4);
    for (auto _ : State) {
        pixman_image_composite32(PIXMAN_OP_OVER, S, nullptr, D, 0, 0, 0, 0, 0, 0, W, H);
        benchmark::DoNotOptimize(Dst.data());
    }
    pixman_image_unref(S);
    pixman_image_unref(D);
    State.SetBytesProcessed(State.iterations() * int64_t(W) * H * 4);
}

// 256x256 stays in the processor's second-level cache and shows the arithmetic alone;
// the two screen sizes show what a frame costs with memory traffic.
void Sizes(benchmark::internal::Benchmark* B) {
    for (auto [W, H] : {std::pair{256, 256}, std::pair{640, 480}, std::pair{1920, 1080}}) B->Args({W, H, 0});
}
void SizesAndPaths(benchmark::internal::Benchmark* B) {
    for (auto [W, H] : {std::pair{256, 256}, std::pair{640, 480}, std::pair{1920, 1080}})
        for (int P = 0; P <= 4; ++P) B->Args({W, H, P});
}

} // namespace

BENCHMARK(BM_Memcpy)->Apply(Sizes);
BENCHMARK(BM_PixmanOver)->Apply(Sizes);
BENCHMARK_TEMPLATE(BM_DrawTo, amOpaque)->Apply(Sizes);
BENCHMARK_TEMPLATE(BM_DrawTo, amMask)->Apply(SizesAndPaths);
BENCHMARK_TEMPLATE(BM_DrawTo, amAlpha)->Apply(SizesAndPaths);
BENCHMARK(BM_BlendTo)->Apply(SizesAndPaths);

BENCHMARK_MAIN();

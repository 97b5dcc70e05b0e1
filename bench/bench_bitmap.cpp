// BMP decoding of a 1024 x 768 picture into 32-bit words: our reader against SDL2's
// reader followed by its conversion to the same 32-bit layout.
#include "platform/bitmap.h"

#include <SDL.h>
#include <benchmark/benchmark.h>

#include <string>

namespace {

using namespace narvo;

constexpr int W = 1024, H = 768;

TPicture Gradient() {
    TPicture P(W, H);
    for (int Y = 0; Y < H; ++Y)
        for (int X = 0; X < W; ++X)
            P.Row(Y)[X] =
                uint32_t(X & 255) << 16 | uint32_t(Y & 255) << 8 | uint32_t((X ^ Y) & 255);
    return P;
}

void Put32(std::string& S, uint32_t V) {
    for (int I = 0; I < 4; ++I)
        S.push_back(char(V >> (8 * I)));
}

// An 8-bit file: a grey table and rows of a repeating pattern.
std::string Bmp8() {
    std::string S = "BM";
    const uint32_t Image = uint32_t(W) * H;
    Put32(S, 54 + 1024 + Image);
    Put32(S, 0);
    Put32(S, 54 + 1024);
    Put32(S, 40);
    Put32(S, W);
    Put32(S, H);
    S += std::string("\x01\0\x08\0", 4);
    for (int I = 0; I < 6; ++I)
        Put32(S, 0);
    for (int I = 0; I < 256; ++I)
        Put32(S, uint32_t(I) * 0x010101);
    for (uint32_t I = 0; I < Image; ++I)
        S.push_back(char((I * 7) >> 3));
    return S;
}

const std::string& File(int Bits) {
    static const std::string B24 = EncodeBmp(Gradient());
    static const std::string B8 = Bmp8();
    return Bits == 24 ? B24 : B8;
}

void BM_Ours(benchmark::State& State) {
    const std::string& F = File(int(State.range(0)));
    for (auto _ : State) {
        TBitmap B;
        if (!B.LoadFromStream(F))
            State.SkipWithError("decode failed");
        benchmark::DoNotOptimize(B.Picture.Pixels.data());
    }
    State.SetBytesProcessed(int64_t(State.iterations()) * W * H * 4);
}

void BM_Sdl(benchmark::State& State) {
    const std::string& F = File(int(State.range(0)));
    for (auto _ : State) {
        SDL_Surface* S = SDL_LoadBMP_RW(SDL_RWFromConstMem(F.data(), int(F.size())), 1);
        SDL_Surface* C = S ? SDL_ConvertSurfaceFormat(S, SDL_PIXELFORMAT_RGB888, 0) : nullptr;
        if (!C)
            State.SkipWithError("SDL decode failed");
        benchmark::DoNotOptimize(C ? C->pixels : nullptr);
        SDL_FreeSurface(C);
        SDL_FreeSurface(S);
    }
    State.SetBytesProcessed(int64_t(State.iterations()) * W * H * 4);
}

BENCHMARK(BM_Ours)->Arg(8)->Arg(24)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Sdl)->Arg(8)->Arg(24)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();

// The screen at 1920 by 1080: composing a stack of 8 layers (opaque, masked and alpha
// pictures, partly off the screen, with view origins) and refreshing the frame with 20
// dynamic items over it, against 9 memcpy's of the frame (one per layer and one for the
// frame); and the steps of every transition effect, each timed alone with the paint of
// the whole frame it ends with, the slowest reported as "slowest_ms".
#include "graphics/dyna_lay.h"
#include "graphics/las_effect.h"
#include "graphics/las_scrn.h"
#include "system/random.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstring>
#include <random>

namespace {

using namespace narvo;

constexpr int ScreenW = 1920, ScreenH = 1080;

// A picture of noise; masked pictures get a mask of holes and solid runs, alpha pictures
// a soft ramp with transparent parts, as drawn pictures have.
void Picture(TLasGraphic& G, int W, int H, TAlphaMode Mode, uint32_t Seed) {
    G.SetAlphaMode(Mode);
    G.SetSize(W, H);
    std::mt19937 Rng(Seed);
    for (auto& Word : G.ColourPlane->Pixels)
        Word = Rng() & 0xFFFFFF;
    if (!G.MaskPlane)
        return;
    for (int Y = 0; Y < H; ++Y) {
        uint8_t* M = G.MaskPlane->Row(Y);
        for (int X = 0; X < W; ++X) {
            if (Mode == amMask)
                M[X] = ((X / 37 + Y / 23) % 3) ? 255 : 0;
            else
                M[X] = uint8_t((X + Y) % 512 < 256 ? (X + Y) % 256 : 0);
        }
    }
}

struct TLayerSpec {
    int PicW, PicH;
    TAlphaMode Mode;
    int Left, Top, Width, Height, ViewLeft, ViewTop;
};

// A game screen: a scrolled background larger than the screen, pictures of people and
// things, a message band, and a full-screen text layer mostly empty. With `Covered`
// false the background stops one column short of the right edge, so the base layer
// below it must be drawn as well.
void BuildScene(TLasScreen& S, bool Covered) {
    const TLayerSpec Layers[] = {
        {2200, 1300, amOpaque, 0, 0, ScreenW - (Covered ? 0 : 1), ScreenH, 100, 80},
        {800, 600, amOpaque, -200, 300, 800, 600, 0, 0},
        {900, 1000, amMask, 1300, 200, 900, 1000, 0, 0},
        {1200, 800, amMask, 300, -100, 1200, 800, 50, 50},
        {1000, 1000, amAlpha, 500, 100, 1000, 1000, 0, 0},
        {1920, 400, amAlpha, 0, 700, 1920, 400, 0, 0},
        {1920, 1080, amMask, 0, 0, 1920, 1080, 0, 0},
    };
    uint32_t Seed = 1;
    for (const TLayerSpec& L : Layers) {
        TLasLayer* Layer = S.InsertLayerAfter(*S.TopLayer());
        Picture(Layer->Graphic, L.PicW, L.PicH, L.Mode, Seed++);
        Layer->PosLeft = L.Left;
        Layer->PosTop = L.Top;
        Layer->Width = L.Width;
        Layer->Height = L.Height;
        Layer->ViewLeft = L.ViewLeft;
        Layer->ViewTop = L.ViewTop;
        Layer->Visible = true;
    }
    // The text layer holds a few lines of glyph-like marks and is clear elsewhere.
    TLasGraphic& Text = S.TopLayer()->Graphic;
    std::fill(Text.MaskPlane->Bytes.begin(), Text.MaskPlane->Bytes.end(), 0);
    for (int Y = 760; Y < 1000; ++Y)
        for (int X = 100; X < 1800; ++X)
            if ((X % 24) < 16 && (Y % 40) < 30 && ((X * 7 + Y * 3) % 5) < 2)
                Text.MaskPlane->Row(Y)[X] = 255;

    // 20 items: 8 choices (alpha strips of two looks), 12 animated masked icons.
    for (int I = 0; I < 20; ++I) {
        auto Item = std::make_unique<TDynamicLayerList>();
        TLasGraphic Loaded;
        bool Choice = I < 8;
        Picture(Loaded, Choice ? 700 : 4 * 96, Choice ? 2 * 48 : 96, Choice ? amAlpha : amMask,
                100 + uint32_t(I));
        Item->Property.Image.FileName = "item.png";
        Item->Property.Image.AnimeCount = Choice ? 1 : 4;
        Item->Property.Image.DivideCount = Choice ? 2 : 1;
        Item->Property.Image.IndexActive = Choice ? 1 : 0;
        Item->Property.Left = Choice ? 610 : 40 + (I - 8) * 150;
        Item->Property.Top = Choice ? 200 + I * 56 : (I % 2 ? 40 : 1020);
        Item->BuildPicture(&Loaded);
        Item->Property.AnimeIndex = I % 4;
        if (I == 3)
            Item->Property.Status = TDLStatus::Active;
        S.DynamicLayer.AddItem(std::move(Item));
    }
}

void BM_ComposeScreen(benchmark::State& State) {
    TLasScreen S(ScreenW, ScreenH);
    BuildScene(S, State.range(0) != 0);
    S.Compose(); // the frame's planes exist from here on
    for (auto _ : State) {
        S.Compose();
        benchmark::DoNotOptimize(S.FrameGraphic.ColourPlane->Pixels.data());
    }
    State.counters["fps"] =
        benchmark::Counter(double(State.iterations()), benchmark::Counter::kIsRate);
    State.SetLabel(State.range(0) ? "background covers the screen" : "background one column short");
}
BENCHMARK(BM_ComposeScreen)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);

// Refreshing the frame alone (a dynamic item changed): one copy plus the items.
void BM_RefreshFrame(benchmark::State& State) {
    TLasScreen S(ScreenW, ScreenH);
    BuildScene(S, true);
    S.Compose();
    for (auto _ : State) {
        S.RefreshFrame();
        benchmark::DoNotOptimize(S.FrameGraphic.ColourPlane->Pixels.data());
    }
    State.counters["fps"] =
        benchmark::Counter(double(State.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_RefreshFrame)->Unit(benchmark::kMillisecond);

void BM_Memcpy9Frames(benchmark::State& State) {
    size_t Bytes = size_t(ScreenW) * ScreenH * 4;
    std::vector<std::vector<uint8_t>> Sources(9, std::vector<uint8_t>(Bytes, 1));
    std::vector<uint8_t> Dest(Bytes, 2);
    for (auto _ : State) {
        for (const auto& Src : Sources) {
            std::memcpy(Dest.data(), Src.data(), Bytes);
            benchmark::ClobberMemory();
        }
        benchmark::DoNotOptimize(Dest.data());
    }
    State.counters["fps"] =
        benchmark::Counter(double(State.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_Memcpy9Frames)->Unit(benchmark::kMillisecond);

// One whole effect per iteration, each step timed with its paint onto a back buffer of
// the frame's size. The iteration time is the sum of the steps (the waits excluded).
void BM_EffectSteps(benchmark::State& State) {
    int Number = int(State.range(0));
    TLasGraphic Pristine, Old, New;
    Picture(Pristine, ScreenW, ScreenH, amOpaque, 1);
    Picture(New, ScreenW, ScreenH, amOpaque, 2);
    TPicture BackBuffer(ScreenW, ScreenH);
    TRandom Random(1);
    double SlowestSum = 0;
    int Steps = 0;
    for (auto _ : State) {
        Old.Assign(Pristine);
        auto Start = std::chrono::steady_clock::now();
        std::unique_ptr<TEffectRun> Run =
            MakeEffect(Number, Old, New, 0, 0, ScreenW, ScreenH, Random);
        double Slowest = 0, Total = 0;
        TEffectStep Step;
        Steps = 0;
        for (;;) {
            bool More = Run->Step(Step);
            if (More)
                Step.Paint->PaintTo(BackBuffer, 0, 0);
            auto End = std::chrono::steady_clock::now();
            double Seconds = std::chrono::duration<double>(End - Start).count();
            Start = End;
            Total += Seconds;
            if (!More)
                break;
            Slowest = std::max(Slowest, Seconds);
            ++Steps;
        }
        benchmark::DoNotOptimize(BackBuffer.Pixels.data());
        SlowestSum += Slowest;
        State.SetIterationTime(Total);
    }
    State.counters["slowest_ms"] = SlowestSum * 1000 / double(State.iterations());
    State.counters["steps"] = Steps;
    State.SetLabel(EffectName(Number));
}
BENCHMARK(BM_EffectSteps)
    ->DenseRange(0, EffectCount - 1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();

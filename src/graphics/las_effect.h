// The eight transition effects that change a window from the frame on show to a newly
// composed one: a cross-fade, interleaved sweeps of columns and rows, random panels,
// blinds, a square grid, a wave and a mosaic. Each effect is a sequence of steps; a step
// draws what it adds (over the old frame's copy or into a scratch surface), is painted
// whole onto the window, and the next step is due a fixed interval after the previous
// due time, so slow drawing shortens the waits instead of stretching the effect. While
// waiting, the application's messages are processed, so the window stays responsive.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

namespace narvo {

class IApplication;
class IClock;
class IWindow;
class TLasGraphic;
class TPlatform;
class TRandom;

// Where a screen paints, with what its transitions wait through and the player's shared
// pseudo-random generator for the panel order. Nothing here is owned.
struct TScreenCanvas {
    IWindow& Window;
    IApplication& App;
    IClock& Clock;
    TRandom& Random;

    TScreenCanvas(IWindow& W, IApplication& A, IClock& C, TRandom& R)
        : Window(W), App(A), Clock(C), Random(R) {}
    TScreenCanvas(TPlatform& Platform, TRandom& R);
};

enum TEffectNumber : int {
    efFadein = 0,
    efLeftTo = 1,
    efTopTo = 2,
    efRndPanel = 3,
    efBlind = 4,
    efSquare = 5,
    efWave = 6,
    efMosaic = 7,
};
constexpr int EffectCount = 8;

// The number of an effect by the name a scenario gives it ("Fadein", "LeftTo", ...,
// compared byte for byte); -1 for "None" and every other name, which mean no transition.
int EffectNumberOfName(std::string_view Name);
// The scenario's name of an effect; null outside 0 to 7.
const char* EffectName(int Number);

// One step of an effect, drawn: the surface to paint, and the interval after which the
// next step is due (0: the effect goes on without waiting).
struct TEffectStep {
    const TLasGraphic* Paint = nullptr;
    uint32_t IntervalMs = 0;
};

class TEffectRun {
  public:
    virtual ~TEffectRun() = default;
    // Draws the next step; false when the effect has ended.
    virtual bool Step(TEffectStep& Out) = 0;
};

// The steps of effect `Number` from `Old` (a copy of the frame on show, which the effect
// may draw over) to `New` (the new frame), both opaque and of the same size, over the
// rectangle (X, Y, W, H). Null for numbers outside 0 to 7. `Old`, `New` and `Random`
// must outlive the run.
std::unique_ptr<TEffectRun> MakeEffect(int Number, TLasGraphic& Old, const TLasGraphic& New, int X,
                                       int Y, int W, int H, TRandom& Random);

// Runs an effect to its end on the canvas: every step is painted at (0, 0) of the
// window's back buffer and presented, then the next step's due time is awaited. Stops
// early when the application terminates meanwhile.
void RunEffect(int Number, const TScreenCanvas& Canvas, TLasGraphic& Old, const TLasGraphic& New,
               int X, int Y, int W, int H);

// Processes the application's messages, sleeping between rounds, until the tick count
// reaches `Due` (or the application terminates).
void WaitForTick(const TScreenCanvas& Canvas, uint32_t Due);

} // namespace narvo

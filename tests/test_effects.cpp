// The transition effects on the headless clock: how many frames each paints and when,
// what the first and last look like, what an effect may touch (its rectangle only, with
// strips copied in place), the panel order from the shared generator, and a schedule
// that holds when drawing takes time or input arrives meanwhile.
#include "graphics/las_effect.h"
#include "graphics/las_grf.h"
#include "platform/headless/headless_platform.h"
#include "system/random.h"

#include <gtest/gtest.h>

#include <functional>

namespace narvo {
namespace {

// Two gradients that differ in every channel of every pixel.
uint32_t OldAt(int X, int Y) {
    return uint32_t(((X * 3) & 0x7F) << 16 | ((Y * 5) & 0x7F) << 8 | ((X + Y) & 0x7F));
}
uint32_t NewAt(int X, int Y) {
    return OldAt(X, Y) ^ 0x808080;
}

void Gradient(TLasGraphic& G, int W, int H, uint32_t (*Fn)(int, int)) {
    G.SetSize(W, H);
    for (int Y = 0; Y < H; ++Y)
        for (int X = 0; X < W; ++X)
            G.ColourPlane->Row(Y)[X] = Fn(X, Y);
}

struct TPaint {
    uint64_t Time = 0;
    TPicture Frame;
};

struct TRun {
    std::vector<TPaint> Paints;
    uint64_t Duration = 0;
};

struct TRunOptions {
    int X = 0, Y = 0, W = 0, H = 0; // W or H 0: the frame's
    uint64_t Seed = 1;
    bool KeepAll = true; // else only the last paint's frame is kept
    std::function<void(THeadlessPlatform&)> OnPresent;
    std::function<void(THeadlessPlatform&)> Setup;
};

TRunOptions InArea(int X, int Y, int W, int H) {
    TRunOptions O;
    O.X = X;
    O.Y = Y;
    O.W = W;
    O.H = H;
    return O;
}

TRunOptions Seeded(uint64_t Seed) {
    TRunOptions O;
    O.Seed = Seed;
    return O;
}

TRun RunOn(int Effect, int W, int H, TRunOptions O = {}) {
    TLasGraphic Old, New;
    Gradient(Old, W, H, OldAt);
    Gradient(New, W, H, NewAt);
    THeadlessOptions HO;
    HO.Width = W;
    HO.Height = H;
    THeadlessPlatform P(HO);
    if (O.Setup)
        O.Setup(P);
    TRandom R(O.Seed);
    TScreenCanvas Canvas(P, R);
    TRun Run;
    P.SetPresentListener([&](const TPicture& F) {
        if (!O.KeepAll && !Run.Paints.empty())
            Run.Paints.back().Frame = {};
        Run.Paints.push_back({P.Elapsed(), F});
        if (O.OnPresent)
            O.OnPresent(P);
    });
    RunEffect(Effect, Canvas, Old, New, O.X, O.Y, O.W ? O.W : W, O.H ? O.H : H);
    Run.Duration = P.Elapsed();
    return Run;
}

bool IsNew(const TPicture& F, int X, int Y) {
    return F.At(X, Y) == NewAt(X, Y);
}
bool IsOld(const TPicture& F, int X, int Y) {
    return F.At(X, Y) == OldAt(X, Y);
}

uint32_t Blend(uint32_t D, uint32_t S, uint32_t A) {
    uint32_t Out = 0;
    for (int Shift = 0; Shift < 24; Shift += 8)
        Out |= ((((255 - A) * ((D >> Shift) & 0xFF) + A * ((S >> Shift) & 0xFF)) >> 8) & 0xFF)
               << Shift;
    return Out;
}

// The frames and schedules over a 640 by 480 frame: paint i comes at i times the
// interval, and the effect returns after its last wait.
TEST(Effects, FrameCountsAndTimesOverAWholeFrame) {
    struct {
        int Effect, Paints, Interval, Duration;
    } Cases[] = {
        {efFadein, 8, 150, 1200},  {efLeftTo, 41, 40, 1640}, {efTopTo, 33, 40, 1320},
        {efRndPanel, 13, 30, 360}, {efBlind, 10, 40, 400},   {efSquare, 10, 40, 400},
        {efWave, 21, 100, 2000},   {efMosaic, 9, 200, 1800},
    };
    for (const auto& C : Cases) {
        SCOPED_TRACE(EffectName(C.Effect));
        TRunOptions O;
        O.KeepAll = false;
        TRun Run = RunOn(C.Effect, 640, 480, O);
        ASSERT_EQ(int(Run.Paints.size()), C.Paints);
        for (int I = 0; I < C.Paints; ++I)
            EXPECT_EQ(Run.Paints[size_t(I)].Time, uint64_t(I) * C.Interval) << I;
        EXPECT_EQ(Run.Duration, uint64_t(C.Duration));

        // Every effect but the fade and the mosaic ends on the exact new frame.
        const TPicture& Last = Run.Paints.back().Frame;
        int Wrong = 0;
        for (int Y = 0; Y < 480; ++Y)
            for (int X = 0; X < 640; ++X) {
                uint32_t Want = NewAt(X, Y);
                if (C.Effect == efFadein)
                    Want = Blend(0, NewAt(X, Y), 255);
                if (C.Effect == efMosaic)
                    Want = NewAt(X / 4 * 4 + 2, Y / 4 * 4 + 2);
                Wrong += Last.At(X, Y) != Want;
            }
        EXPECT_EQ(Wrong, 0);
    }
}

TEST(Effects, FadeinStepsAreBlendsOfTheOldFrame) {
    TRun Run = RunOn(efFadein, 24, 16);
    const uint32_t Weights[8] = {31, 63, 95, 127, 159, 191, 223, 255};
    for (int I = 0; I < 8; ++I)
        for (int Y = 0; Y < 16; ++Y)
            for (int X = 0; X < 24; ++X)
                ASSERT_EQ(Run.Paints[size_t(I)].Frame.At(X, Y),
                          Blend(OldAt(X, Y), NewAt(X, Y), Weights[I]))
                    << I << " " << X << "," << Y;
}

TEST(Effects, StripsLeftOverByOddSizesAndBlindRemainder) {
    // "LeftTo" over 65 columns: 32 strips, the last column stays old.
    TRun Left = RunOn(efLeftTo, 65, 6);
    EXPECT_EQ(Left.Paints.size(), 9u + 4u);
    const TPicture& L = Left.Paints.back().Frame;
    for (int Y = 0; Y < 6; ++Y) {
        for (int X = 0; X < 64; ++X)
            ASSERT_TRUE(IsNew(L, X, Y)) << X;
        EXPECT_TRUE(IsOld(L, 64, Y));
    }
    // "Blind" over a rectangle 30 rows high: one whole band of 20, the rest stays old.
    TRunOptions O;
    O.Y = 3;
    O.H = 30;
    TRun Blind = RunOn(efBlind, 8, 40, O);
    const TPicture& B = Blind.Paints.back().Frame;
    for (int Y = 0; Y < 40; ++Y)
        EXPECT_EQ(IsNew(B, 5, Y), Y >= 3 && Y < 23) << Y;
    // Each step adds the rows 2i, 2i + 1 of the band.
    for (int I = 0; I < 10; ++I)
        for (int Y = 3; Y < 23; ++Y)
            EXPECT_EQ(IsNew(Blind.Paints[size_t(I)].Frame, 0, Y), (Y - 3) / 2 <= I);
    // Degenerate rectangles paint nothing new.
    TRun Narrow = RunOn(efLeftTo, 8, 8, InArea(0, 0, 1, 8));
    EXPECT_TRUE(Narrow.Paints.empty());
}

// Outside its rectangle (cut to the frame) an effect never changes the old frame, and
// where it copies the new frame it copies it in place. Areas partly off the frame
// included. "RndPanel" and "Wave" end by painting the whole new frame, which is left out.
TEST(Effects, EffectsKeepToTheirRectangle) {
    struct {
        int X, Y, W, H;
    } Areas[] = {{5, 4, 30, 25}, {-7, 5, 40, 33}, {30, -10, 40, 20}, {0, 0, 48, 36}};
    for (int Effect = 0; Effect < EffectCount; ++Effect)
        for (const auto& A : Areas) {
            SCOPED_TRACE(std::string(EffectName(Effect)) + " " + std::to_string(A.X) + "," +
                         std::to_string(A.Y));
            TRun Run = RunOn(Effect, 48, 36, InArea(A.X, A.Y, A.W, A.H));
            ASSERT_FALSE(Run.Paints.empty());
            size_t Checked = Run.Paints.size() - (Effect == efRndPanel || Effect == efWave ? 1 : 0);
            bool InPlace = Effect != efFadein && Effect != efWave && Effect != efMosaic;
            for (size_t I = 0; I < Checked; ++I)
                for (int Y = 0; Y < 36; ++Y)
                    for (int X = 0; X < 48; ++X) {
                        const TPicture& F = Run.Paints[I].Frame;
                        bool Inside = X >= A.X && X < A.X + A.W && Y >= A.Y && Y < A.Y + A.H;
                        if (!Inside) {
                            ASSERT_TRUE(IsOld(F, X, Y)) << I << " " << X << "," << Y;
                        } else if (InPlace) {
                            ASSERT_TRUE(IsOld(F, X, Y) || IsNew(F, X, Y))
                                << I << " " << X << "," << Y;
                        }
                    }
        }
}

// Twelve panels a frame, each whole, the last column and row taking the remainders;
// the order comes from the shared generator.
TEST(Effects, RndPanelCopiesWholePanelsInGeneratorOrder) {
    const int W = 50, H = 40; // panels 4 by 3, the last column 6 wide, the last row 7 high
    auto PanelOf = [](int X, int Y) { return std::min(X / 4, 11) * 12 + std::min(Y / 3, 11); };
    TRun Run = RunOn(efRndPanel, W, H, Seeded(5));
    ASSERT_EQ(Run.Paints.size(), 13u);
    std::vector<int> FirstFrame;
    for (int I = 0; I < 12; ++I) {
        std::vector<int> New(144, 0), Old(144, 0);
        for (int Y = 0; Y < H; ++Y)
            for (int X = 0; X < W; ++X) {
                const TPicture& F = Run.Paints[size_t(I)].Frame;
                ASSERT_TRUE(IsNew(F, X, Y) || IsOld(F, X, Y));
                (IsNew(F, X, Y) ? New : Old)[size_t(PanelOf(X, Y))]++;
            }
        int Done = 0;
        for (int P = 0; P < 144; ++P) {
            ASSERT_TRUE(New[size_t(P)] == 0 || Old[size_t(P)] == 0)
                << "panel " << P << " half copied";
            if (New[size_t(P)]) {
                ++Done;
                if (I == 0)
                    FirstFrame.push_back(P);
            }
        }
        EXPECT_EQ(Done, 12 * (I + 1));
    }
    // The same seed gives the same order, another seed another.
    TRun Same = RunOn(efRndPanel, W, H, Seeded(5));
    EXPECT_EQ(Same.Paints[0].Frame.Pixels, Run.Paints[0].Frame.Pixels);
    TRun Other = RunOn(efRndPanel, W, H, Seeded(6));
    EXPECT_NE(Other.Paints[0].Frame.Pixels, Run.Paints[0].Frame.Pixels);

    // The shuffle itself: entry i swapped with r mod 143, in order.
    TRandom R(5);
    std::vector<int> Order(144);
    for (int I = 0; I < 144; ++I)
        Order[size_t(I)] = I;
    for (int I = 0; I < 144; ++I)
        std::swap(Order[size_t(I)], Order[size_t(R.Next() % 143)]);
    std::vector<int> Expected(Order.begin(), Order.begin() + 12);
    std::sort(Expected.begin(), Expected.end());
    EXPECT_EQ(FirstFrame, Expected);
}

// The first wave frame (n = 19) shifts row pair r by trunc(38 sin((38 + r) mod 20 * pi / 10))
// with wrap-around: rows 0 and 1 go 22 pixels left.
TEST(Effects, WaveShiftsRowPairsWithWrapAround) {
    const int W = 64;
    TRun Run = RunOn(efWave, W, 8);
    const TPicture& F = Run.Paints[0].Frame;
    for (int Y = 0; Y < 2; ++Y)
        for (int X = 0; X < W; ++X)
            ASSERT_EQ(F.At(X, Y), NewAt((X + 22) % W, Y)) << X;
    // Row pair 1: (38 + 1) mod 20 = 19, sin(1.9 pi) = -0.309, shift trunc(-11.7) = -11.
    for (int X = 0; X < W; ++X)
        ASSERT_EQ(F.At(X, 2), NewAt((X + 11) % W, 2)) << X;
    // Row pair 2: k = 0, no shift.
    for (int X = 0; X < W; ++X)
        ASSERT_EQ(F.At(X, 4), NewAt(X, 4)) << X;
}

// Blocks take their centre's colour; a centre past the last row or column takes the
// nearest pixel inside.
TEST(Effects, MosaicBlocksTakeTheirCentreOrTheNearestPixel) {
    TRun Run = RunOn(efMosaic, 10, 10);
    ASSERT_EQ(Run.Paints.size(), 9u);
    const TPicture& B4 = Run.Paints[1].Frame; // old frame, blocks of 4
    EXPECT_EQ(B4.At(0, 0), OldAt(2, 2));
    EXPECT_EQ(B4.At(3, 3), OldAt(2, 2));
    EXPECT_EQ(B4.At(8, 9), OldAt(9, 9)); // the centre (10, 10) lies outside
    EXPECT_EQ(B4.At(5, 9), OldAt(6, 9));
    const TPicture& B32 = Run.Paints[5].Frame; // new frame, one block of 32
    for (int Y = 0; Y < 10; ++Y)
        for (int X = 0; X < 10; ++X)
            ASSERT_EQ(B32.At(X, Y), NewAt(9, 9));
}

// Due times run from the previous due time: drawing that takes 25 ms of a 40 ms step
// shortens the wait and leaves the schedule as it was. Input arriving meanwhile is
// delivered while the effect waits.
TEST(Effects, ScheduleHoldsWhileDrawingTakesTimeAndInputIsDelivered) {
    TRunOptions Busy;
    Busy.KeepAll = false;
    Busy.OnPresent = [](THeadlessPlatform& P) { P.Clock().Sleep(25); };
    TRun Slow = RunOn(efSquare, 40, 40, Busy);
    ASSERT_EQ(Slow.Paints.size(), 10u);
    for (size_t I = 0; I < 10; ++I)
        EXPECT_EQ(Slow.Paints[I].Time, I * 40);
    EXPECT_EQ(Slow.Duration, 400u);

    uint64_t ClickedAt = 0;
    THeadlessPlatform* Platform = nullptr;
    TRunOptions O;
    O.KeepAll = false;
    O.Setup = [&](THeadlessPlatform& P) {
        Platform = &P;
        TScriptEvent Click;
        Click.Time = 333;
        Click.Kind = TScriptEventKind::Click;
        P.SetScript({Click});
        TWindowEvents Events;
        Events.OnMouseDown = [&](TMouseButton, int, int) { ClickedAt = Platform->Elapsed(); };
        P.Window().SetEvents(Events);
    };
    TRun Fade = RunOn(efFadein, 16, 16, O);
    EXPECT_GE(ClickedAt, 333u);
    EXPECT_LT(ClickedAt, 340u);
    EXPECT_EQ(Fade.Duration, 1200u);
}

TEST(Effects, NamesAndNumbers) {
    const char* Names[] = {"Fadein", "LeftTo", "TopTo", "RndPanel",
                           "Blind",  "Square", "Wave",  "Mosaic"};
    for (int I = 0; I < EffectCount; ++I) {
        EXPECT_EQ(EffectNumberOfName(Names[I]), I);
        EXPECT_STREQ(EffectName(I), Names[I]);
    }
    for (const char* Other : {"None", "fadein", "", "Fadein "})
        EXPECT_EQ(EffectNumberOfName(Other), -1);
    EXPECT_EQ(EffectName(8), nullptr);
    EXPECT_EQ(EffectName(-1), nullptr);
    TLasGraphic Old, New;
    TRandom R;
    EXPECT_EQ(MakeEffect(8, Old, New, 0, 0, 10, 10, R), nullptr);
}

} // namespace
} // namespace narvo

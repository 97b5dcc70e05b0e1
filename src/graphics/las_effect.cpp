// The effects as step machines, and the driver that paints their steps on a schedule.
//
// Every copy of the new frame goes through `CopyArea`, which keeps to the effect's
// rectangle and to both surfaces and moves source and destination together when it
// clips. For a rectangle inside the frame that is exactly a copy at the same positions;
// for one reaching past the frame's edges it never reads outside the new frame (the
// surface's own clipping would keep the source origin while raising the destination's),
// and strips that would overhang the rectangle ("Square" has one band more than fits)
// never change the frame outside it.
#include "graphics/las_effect.h"

#include "graphics/las_grf.h"
#include "platform/platform.h"
#include "system/random.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <string_view>

namespace narvo {

TScreenCanvas::TScreenCanvas(TPlatform& Platform, TRandom& R)
    : Window(Platform.Window()), App(Platform.App()), Clock(Platform.Clock()), Random(R) {}

namespace {

constexpr const char* EffectNames[EffectCount] = {"Fadein", "LeftTo", "TopTo", "RndPanel",
                                                  "Blind",  "Square", "Wave",  "Mosaic"};

// Waits are slept in slices so that input and timers keep being delivered.
constexpr uint32_t WaitSliceMs = 5;

// A rectangle by its edges, right and bottom exclusive.
struct TBox {
    int L = 0, T = 0, R = 0, B = 0;
    bool Empty() const { return L >= R || T >= B; }
};

// The effect's rectangle cut to the frame.
TBox EffectBounds(const TLasGraphic& Old, const TLasGraphic& New, int X, int Y, int W, int H) {
    int64_t FrameW = std::min(Old.Width(), New.Width());
    int64_t FrameH = std::min(Old.Height(), New.Height());
    TBox Box;
    Box.L = int(std::clamp<int64_t>(X, 0, FrameW));
    Box.T = int(std::clamp<int64_t>(Y, 0, FrameH));
    Box.R = int(std::clamp<int64_t>(int64_t(X) + std::max(W, 0), Box.L, FrameW));
    Box.B = int(std::clamp<int64_t>(int64_t(Y) + std::max(H, 0), Box.T, FrameH));
    return Box;
}

// Copies the area of `Src` at (Sx, Sy) to (Dx, Dy) of `Dst`, W by H, limited to `Bound`
// (which lies within both surfaces): a pixel is copied only when both its ends are in.
void CopyArea(const TLasGraphic& Src, TLasGraphic& Dst, int64_t Dx, int64_t Dy, int64_t W,
              int64_t H, int64_t Sx, int64_t Sy, const TBox& Bound) {
    int64_t OffX = Sx - Dx, OffY = Sy - Dy;
    int64_t L = std::max<int64_t>({Dx, Bound.L, -OffX});
    int64_t T = std::max<int64_t>({Dy, Bound.T, -OffY});
    int64_t R = std::min<int64_t>({Dx + W, Bound.R, Src.Width() - OffX});
    int64_t B = std::min<int64_t>({Dy + H, Bound.B, Src.Height() - OffY});
    if (L >= R || T >= B)
        return;
    Src.DrawTo(Dst, int(L), int(T), int(R - L), int(B - T), int(L + OffX), int(T + OffY));
}

// A copy at the same positions, the new frame showing through where it will be.
void CopySame(const TLasGraphic& Src, TLasGraphic& Dst, int64_t X, int64_t Y, int64_t W, int64_t H,
              const TBox& Bound) {
    CopyArea(Src, Dst, X, Y, W, H, X, Y, Bound);
}

// [SECTION] 0 Fadein ----------------------------------------------------------------------

// Eight cross-fades of the old frame towards the new one, weights 31, 63, ..., 223, 255.
// The last weight gives new * 255 / 256 per channel, one short of the new frame where it
// is bright; the caller's next paint shows the exact frame.
class TFadein final : public TEffectRun {
  public:
    TFadein(const TLasGraphic& Old, const TLasGraphic& New, TBox Bound)
        : Old_(Old), New_(New), Bound_(Bound) {
        Scratch_.Assign(Old);
    }
    bool Step(TEffectStep& Out) override {
        if (I_ == 8)
            return false;
        ++I_;
        if (!Bound_.Empty()) {
            // Outside the rectangle the scratch surface already holds the old frame.
            CopySame(Old_, Scratch_, Bound_.L, Bound_.T, Bound_.R - Bound_.L, Bound_.B - Bound_.T,
                     Bound_);
            New_.BlendTo(Scratch_, Bound_.L, Bound_.T, Bound_.R - Bound_.L, Bound_.B - Bound_.T,
                         Bound_.L, Bound_.T, uint8_t(std::min(32 * I_ - 1, 255)));
        }
        Out = {&Scratch_, 150};
        return true;
    }

  private:
    const TLasGraphic& Old_;
    const TLasGraphic& New_;
    TBox Bound_;
    TLasGraphic Scratch_;
    int I_ = 0;
};

// [SECTION] 1 LeftTo, 2 TopTo ------------------------------------------------------------

// Strips of 2 pixels, swept by ten cursors that start one frame apart (cursor 9 first,
// at strip 9; cursor 0 last, at strip 0) and move 10 strips a frame, so that each frame
// adds one strip in every ten, the gaps closing from the left (top). The effect ends
// before the frame in which cursor 0 has passed the last strip: every strip is copied
// by then. An odd width (height) leaves its last pixel column (row) to the caller.
class TSweep final : public TEffectRun {
  public:
    TSweep(TLasGraphic& Old, const TLasGraphic& New, int X, int Y, int W, int H, bool Columns,
           TBox Bound)
        : Old_(Old), New_(New), X_(X), Y_(Y), W_(W), H_(H), Columns_(Columns), Bound_(Bound) {
        Strips_ = (Columns ? W : H) / 2;
        for (int K = 0; K < 10; ++K)
            Cursor_[size_t(K)] = K;
    }
    bool Step(TEffectStep& Out) override {
        if (Cursor_[0] >= Strips_)
            return false;
        if (Active_ < 10)
            ++Active_;
        for (int K = 10 - Active_; K < 10; ++K) {
            int& C = Cursor_[size_t(K)];
            if (C >= Strips_)
                continue;
            if (Columns_)
                CopySame(New_, Old_, X_ + int64_t(2) * C, Y_, 2, H_, Bound_);
            else
                CopySame(New_, Old_, X_, Y_ + int64_t(2) * C, W_, 2, Bound_);
            C += 10;
        }
        Out = {&Old_, 40};
        return true;
    }

  private:
    TLasGraphic& Old_;
    const TLasGraphic& New_;
    int X_, Y_, W_, H_;
    bool Columns_;
    TBox Bound_;
    int Strips_ = 0;
    std::array<int, 10> Cursor_{};
    int Active_ = 0;
};

// [SECTION] 3 RndPanel ------------------------------------------------------------------

// 12 by 12 panels (the last column and row take the remainders) in a shuffled order,
// twelve to a frame, and the whole new frame at the end. The shuffle swaps each entry
// with one at r mod 143 of the shared generator's next value r: the last entry is only
// ever moved by swaps from the others, which is how works have always seen it.
class TRndPanel final : public TEffectRun {
  public:
    TRndPanel(TLasGraphic& Old, const TLasGraphic& New, int X, int Y, int W, int H, TBox Bound,
              TRandom& Random)
        : Old_(Old), New_(New), X_(X), Y_(Y), W_(W), H_(H), Bound_(Bound) {
        for (int I = 0; I < 144; ++I)
            Order_[size_t(I)] = uint8_t(I);
        for (int I = 0; I < 144; ++I)
            std::swap(Order_[size_t(I)], Order_[size_t(Random.Next() % 143)]);
    }
    bool Step(TEffectStep& Out) override {
        if (Group_ == 12) {
            ++Group_;
            Out = {&New_, 0};
            return true;
        }
        if (Group_ > 12)
            return false;
        int Pw = W_ / 12, Ph = H_ / 12;
        for (int I = Group_ * 12; I < Group_ * 12 + 12; ++I) {
            int Column = Order_[size_t(I)] / 12, Row = Order_[size_t(I)] % 12;
            int64_t PanelW = Pw + (Column == 11 ? W_ % 12 : 0);
            int64_t PanelH = Ph + (Row == 11 ? H_ % 12 : 0);
            CopySame(New_, Old_, X_ + int64_t(Column) * Pw, Y_ + int64_t(Row) * Ph, PanelW, PanelH,
                     Bound_);
        }
        ++Group_;
        Out = {&Old_, 30};
        return true;
    }

  private:
    TLasGraphic& Old_;
    const TLasGraphic& New_;
    int X_, Y_, W_, H_;
    TBox Bound_;
    std::array<uint8_t, 144> Order_{};
    int Group_ = 0;
};

// [SECTION] 4 Blind, 5 Square ------------------------------------------------------------

// Ten steps, each adding 2 rows to every band of 20 (and for "Square" 2 columns too).
// "Blind" covers whole bands only, leaving the rows below the last one to the caller;
// "Square" runs one band further in each direction so that the edges are covered.
class TBlind final : public TEffectRun {
  public:
    TBlind(TLasGraphic& Old, const TLasGraphic& New, int X, int Y, int W, int H, bool Square,
           TBox Bound)
        : Old_(Old), New_(New), X_(X), Y_(Y), W_(W), H_(H), Square_(Square), Bound_(Bound) {}
    bool Step(TEffectStep& Out) override {
        if (I_ == 10)
            return false;
        if (Square_) {
            for (int J = 0; J <= W_ / 20; ++J)
                CopySame(New_, Old_, X_ + 2 * I_ + int64_t(20) * J, Y_, 2, H_, Bound_);
            for (int J = 0; J <= H_ / 20; ++J)
                CopySame(New_, Old_, X_, Y_ + 2 * I_ + int64_t(20) * J, W_, 2, Bound_);
        } else {
            for (int J = 0; J < H_ / 20; ++J)
                CopySame(New_, Old_, X_, Y_ + 2 * I_ + int64_t(20) * J, W_, 2, Bound_);
        }
        ++I_;
        Out = {&Old_, 40};
        return true;
    }

  private:
    TLasGraphic& Old_;
    const TLasGraphic& New_;
    int X_, Y_, W_, H_;
    bool Square_;
    TBox Bound_;
    int I_ = 0;
};

// [SECTION] 6 Wave ------------------------------------------------------------------------

// Twenty frames of the new frame with its row pairs shifted sideways (wrapping within the
// rectangle) by a sine of one period over 20 row pairs, amplitude and phase 2n for n = 19
// down to 0. The last frame has no shift; then the new frame is painted whole.
class TWave final : public TEffectRun {
  public:
    TWave(TLasGraphic& Old, const TLasGraphic& New, int X, int Y, int W, int H, TBox Bound)
        : Old_(Old), New_(New), X_(X), Y_(Y), W_(W), H_(H), Bound_(Bound) {
        constexpr double Pi = 3.14159265358979323846;
        for (int K = 0; K < 20; ++K)
            Sine_[size_t(K)] = std::sin(K * Pi / 10);
    }
    bool Step(TEffectStep& Out) override {
        if (N_ < -1)
            return false;
        if (N_ == -1) {
            --N_;
            Out = {&New_, 0};
            return true;
        }
        int A = 2 * N_, P = 2 * N_;
        for (int R = 0; R < H_ / 2; ++R) {
            int64_t Row = Y_ + int64_t(2) * R;
            int F = int(A * Sine_[size_t((P + R) % 20)]); // truncated toward zero
            if (F == 0) {
                CopySame(New_, Old_, X_, Row, W_, 2, Bound_);
            } else if (F < 0) {
                int64_t S = -int64_t(F);
                CopyArea(New_, Old_, X_, Row, W_ - S, 2, X_ + S, Row, Bound_);
                CopyArea(New_, Old_, X_ + W_ - S, Row, S, 2, X_, Row, Bound_);
            } else {
                CopyArea(New_, Old_, X_ + F, Row, W_ - F, 2, X_, Row, Bound_);
                CopyArea(New_, Old_, X_, Row, F, 2, X_ + W_ - F, Row, Bound_);
            }
        }
        --N_;
        Out = {&Old_, 100};
        return true;
    }

  private:
    TLasGraphic& Old_;
    const TLasGraphic& New_;
    int X_, Y_, W_, H_;
    TBox Bound_;
    std::array<double, 20> Sine_{};
    int N_ = 19;
};

// [SECTION] 7 Mosaic ----------------------------------------------------------------------

// The old frame coarsened in blocks of 2, 4, 8, 16, 32, then the new frame refined in
// blocks of 32, 16, 8, 4. Blocks are laid from the rectangle's top-left corner, cut to
// the rectangle, and each takes the colour of its centre pixel; a centre beyond the
// rectangle's last row or column (a size that is no multiple of the block) takes the
// nearest pixel inside. Outside the rectangle the old frame stays on show.
class TMosaic final : public TEffectRun {
  public:
    TMosaic(const TLasGraphic& Old, const TLasGraphic& New, int X, int Y, int W, int H, TBox Bound)
        : Old_(Old), New_(New), X_(X), Y_(Y), W_(W), H_(H), Bound_(Bound) {
        Scratch_.Assign(Old);
    }
    bool Step(TEffectStep& Out) override {
        static constexpr int Sizes[9] = {2, 4, 8, 16, 32, 32, 16, 8, 4};
        if (I_ == 9)
            return false;
        Coarsen(I_ < 5 ? Old_ : New_, Sizes[I_]);
        ++I_;
        Out = {&Scratch_, 200};
        return true;
    }

  private:
    void Coarsen(const TLasGraphic& Source, int Block) {
        if (Bound_.Empty() || !Source.ColourPlane || !Scratch_.ColourPlane)
            return;
        const TPicture& Src = *Source.ColourPlane;
        TPicture& Dst = *Scratch_.ColourPlane;
        size_t Span = size_t(Bound_.R - Bound_.L);
        for (int64_t By = 0; By < H_; By += Block) {
            int64_t Top = std::max<int64_t>(Y_ + By, Bound_.T);
            int64_t Bottom = std::min<int64_t>(Y_ + By + Block, Bound_.B);
            if (Top >= Bottom)
                continue;
            int64_t Cy = std::clamp<int64_t>(Y_ + By + Block / 2, Bound_.T, Bound_.B - 1);
            const uint32_t* SrcRow = Src.Row(int(Cy));
            // The first row of the band is built block by block; the others copy it.
            uint32_t* First = Dst.Row(int(Top));
            for (int64_t Bx = 0; Bx < W_; Bx += Block) {
                int64_t Left = std::max<int64_t>(X_ + Bx, Bound_.L);
                int64_t Right = std::min<int64_t>(X_ + Bx + Block, Bound_.R);
                if (Left >= Right)
                    continue;
                int64_t Cx = std::clamp<int64_t>(X_ + Bx + Block / 2, Bound_.L, Bound_.R - 1);
                std::fill(First + Left, First + Right, SrcRow[Cx] & 0x00FFFFFFu);
            }
            for (int64_t Row = Top + 1; Row < Bottom; ++Row)
                std::memcpy(Dst.Row(int(Row)) + Bound_.L, First + Bound_.L, Span * 4);
        }
    }

    const TLasGraphic& Old_;
    const TLasGraphic& New_;
    int X_, Y_, W_, H_;
    TBox Bound_;
    TLasGraphic Scratch_;
    int I_ = 0;
};

} // namespace

int EffectNumberOfName(std::string_view Name) {
    for (int I = 0; I < EffectCount; ++I)
        if (Name == EffectNames[I])
            return I;
    return -1;
}

const char* EffectName(int Number) {
    return Number >= 0 && Number < EffectCount ? EffectNames[Number] : nullptr;
}

std::unique_ptr<TEffectRun> MakeEffect(int Number, TLasGraphic& Old, const TLasGraphic& New, int X,
                                       int Y, int W, int H, TRandom& Random) {
    W = std::max(W, 0);
    H = std::max(H, 0);
    TBox Bound = EffectBounds(Old, New, X, Y, W, H);
    switch (Number) {
    case efFadein:
        return std::make_unique<TFadein>(Old, New, Bound);
    case efLeftTo:
        return std::make_unique<TSweep>(Old, New, X, Y, W, H, true, Bound);
    case efTopTo:
        return std::make_unique<TSweep>(Old, New, X, Y, W, H, false, Bound);
    case efRndPanel:
        return std::make_unique<TRndPanel>(Old, New, X, Y, W, H, Bound, Random);
    case efBlind:
        return std::make_unique<TBlind>(Old, New, X, Y, W, H, false, Bound);
    case efSquare:
        return std::make_unique<TBlind>(Old, New, X, Y, W, H, true, Bound);
    case efWave:
        return std::make_unique<TWave>(Old, New, X, Y, W, H, Bound);
    case efMosaic:
        return std::make_unique<TMosaic>(Old, New, X, Y, W, H, Bound);
    }
    return nullptr;
}

void WaitForTick(const TScreenCanvas& Canvas, uint32_t Due) {
    for (;;) {
        Canvas.App.ProcessMessages();
        if (Canvas.App.Terminated())
            return;
        uint32_t Now = Canvas.Clock.TickCount();
        if (TickReached(Now, Due))
            return;
        Canvas.Clock.Sleep(std::min(Due - Now, WaitSliceMs));
    }
}

void RunEffect(int Number, const TScreenCanvas& Canvas, TLasGraphic& Old, const TLasGraphic& New,
               int X, int Y, int W, int H) {
    std::unique_ptr<TEffectRun> Run = MakeEffect(Number, Old, New, X, Y, W, H, Canvas.Random);
    if (!Run)
        return;
    // Due times run on from the start, not from the end of each step's drawing.
    uint32_t Due = Canvas.Clock.TickCount();
    TEffectStep Step;
    while (Run->Step(Step)) {
        Step.Paint->PaintTo(Canvas.Window, 0, 0);
        Canvas.Window.Present();
        if (Step.IntervalMs == 0)
            continue;
        Due += Step.IntervalMs;
        WaitForTick(Canvas, Due);
        if (Canvas.App.Terminated())
            return;
    }
}

} // namespace narvo

// The layer screen: the chain of layers, composing bottom to top with clipping (view
// origins beyond the picture, invisible and empty layers, layers that hide everything
// below), the frame with its dynamic items, painting, and the transition driver.
#include "graphics/las_scrn.h"
#include "platform/headless/headless_platform.h"
#include "system/random.h"

#include <gtest/gtest.h>

#include <random>

namespace narvo {
namespace {

void Fill(TLasGraphic& G, int W, int H, uint32_t Seed, TAlphaMode Mode = amOpaque) {
    G.SetAlphaMode(Mode);
    G.SetSize(W, H);
    for (int Y = 0; Y < H; ++Y)
        for (int X = 0; X < W; ++X) {
            G.ColourPlane->Row(Y)[X] = (Seed * 0x9E3779B9u + uint32_t(X * 7 + Y * 131)) & 0xFFFFFF;
            if (G.MaskPlane)
                G.MaskPlane->Row(Y)[X] = uint8_t((X * 37 + Y * 11 + Seed) % 3 == 0 ? 0 : X * 9 + Y);
        }
}

uint32_t Pixel(const TLasGraphic& G, int X, int Y) {
    return G.ColourPlane->Row(Y)[X] & 0xFFFFFF;
}

TEST(LasScreen, LayerChain) {
    TLasScreen S(64, 48);
    EXPECT_EQ(S.LayerCount(), 1);
    EXPECT_EQ(S.LayerAt(0), S.BaseLayer);
    EXPECT_EQ(S.LayerAt(1), nullptr);
    EXPECT_EQ(S.LayerAt(-1), nullptr);
    EXPECT_EQ(S.TopLayer(), S.BaseLayer);
    EXPECT_TRUE(S.BaseLayer->Visible);
    EXPECT_EQ(S.BaseLayer->Graphic.Width(), 64);
    EXPECT_EQ(S.BaseLayer->Width, 64);
    EXPECT_EQ(S.FrameGraphic.Height(), 48);

    TLasLayer* A = S.InsertLayerAfter(*S.BaseLayer);
    TLasLayer* B = S.InsertLayerAfter(*S.BaseLayer);
    EXPECT_EQ(S.LayerCount(), 3);
    EXPECT_EQ(S.LayerAt(1), B); // B went in below A
    EXPECT_EQ(S.LayerAt(2), A);
    EXPECT_EQ(S.TopLayer(), A);
    EXPECT_EQ(A->Prev, B);
    EXPECT_EQ(B->Prev, S.BaseLayer);
    EXPECT_FALSE(A->Visible);
    EXPECT_EQ(A->Graphic.Width(), 10);
    EXPECT_TRUE(A->LayerName.empty());
}

// Composing must give exactly what drawing every visible layer in order gives, whatever
// the layers' positions, views, sizes and modes: the compositor skips layers hidden
// under one that covers the whole buffer, and that must never show.
TEST(LasScreen, ComposeEqualsDrawingEveryVisibleLayerInOrder) {
    std::mt19937 Rng(7);
    auto Pick = [&](int Lo, int Hi) { return std::uniform_int_distribution<int>(Lo, Hi)(Rng); };
    const TAlphaMode Modes[] = {amOpaque, amMask, amAlpha};
    for (int Scene = 0; Scene < 300; ++Scene) {
        SCOPED_TRACE(Scene);
        TLasScreen S(40, 30);
        Fill(S.BaseLayer->Graphic, 40, 30, 1);
        int Count = Pick(1, 5);
        for (int I = 0; I < Count; ++I) {
            TLasLayer* L = S.InsertLayerAfter(*S.TopLayer());
            // Mostly layers near the buffer's size, so that some cover it and some just
            // fail to (by a view origin, a position or a size).
            int PicW = Pick(0, 4) ? Pick(35, 60) : Pick(0, 20);
            int PicH = Pick(0, 4) ? Pick(25, 45) : Pick(0, 20);
            Fill(L->Graphic, PicW, PicH, uint32_t(Scene * 10 + I), Modes[Pick(0, 2)]);
            L->PosLeft = Pick(0, 2) ? 0 : Pick(-20, 20);
            L->PosTop = Pick(0, 2) ? 0 : Pick(-20, 20);
            L->Width = Pick(0, 4) ? Pick(40, 70) : Pick(0, 10);
            L->Height = Pick(0, 4) ? Pick(30, 60) : Pick(0, 10);
            L->ViewLeft = Pick(0, 2) ? 0 : Pick(0, 25);
            L->ViewTop = Pick(0, 2) ? 0 : Pick(0, 25);
            L->Visible = Pick(0, 4) != 0;
        }
        // Whatever the buffer held before shows where nothing is drawn.
        Fill(S.LayersGraphic, 40, 30, 99);
        TLasGraphic Expected;
        Expected.Assign(S.LayersGraphic);
        for (TLasLayer* L = S.BaseLayer; L; L = L->Next)
            if (L->Visible)
                L->Graphic.DrawTo(Expected, L->PosLeft, L->PosTop, L->Width, L->Height, L->ViewLeft,
                                  L->ViewTop);
        S.Compose();
        ASSERT_EQ(S.LayersGraphic.ColourPlane->Pixels, Expected.ColourPlane->Pixels);
        ASSERT_EQ(S.FrameGraphic.ColourPlane->Pixels, Expected.ColourPlane->Pixels);
    }
}

TEST(LasScreen, ComposeClipsToPictureRectangleAndVisibility) {
    TLasScreen S(20, 10);
    S.BaseLayer->Graphic.FillRect(0, 0, 20, 10, 0x000001); // 0x010000 as a pixel word
    TLasLayer* L = S.InsertLayerAfter(*S.BaseLayer);
    L->Graphic.SetSize(8, 8);
    L->Graphic.FillRect(0, 0, 8, 8, 0x000002);
    L->PosLeft = 2;
    L->PosTop = 1;
    L->Width = 10;
    L->Height = 10;
    L->ViewLeft = 5; // 3 columns left of the picture to show
    L->ViewTop = 6;  // 2 rows
    L->Visible = true;
    S.Compose();
    EXPECT_EQ(Pixel(S.FrameGraphic, 1, 1), 0x010000u); // left of the layer
    EXPECT_EQ(Pixel(S.FrameGraphic, 2, 1), 0x020000u);
    EXPECT_EQ(Pixel(S.FrameGraphic, 4, 2), 0x020000u);
    EXPECT_EQ(Pixel(S.FrameGraphic, 5, 1), 0x010000u); // beyond the picture: the base shows
    EXPECT_EQ(Pixel(S.FrameGraphic, 2, 3), 0x010000u);

    L->Visible = false;
    S.Compose();
    EXPECT_EQ(Pixel(S.FrameGraphic, 2, 1), 0x010000u);

    L->Visible = true; // a view wholly beyond the picture shows nothing
    L->ViewLeft = 8;
    S.Compose();
    EXPECT_EQ(Pixel(S.FrameGraphic, 2, 1), 0x010000u);
}

TEST(LasScreen, FrameHoldsItemsOverLayersAndTextDrawnStraightIntoTheBuffer) {
    TLasScreen S(20, 10);
    S.Compose();
    auto Item = std::make_unique<TDynamicLayerList>();
    Item->Property.Left = 3;
    Item->Property.Top = 3;
    TLasGraphic Pic;
    Pic.SetSize(2, 2);
    Pic.FillRect(0, 0, 2, 2, 0x0000FF);
    Item->Property.Image.FileName = "x.png";
    ASSERT_TRUE(Item->BuildPicture(&Pic));
    S.DynamicLayer.AddItem(std::move(Item));
    S.RefreshFrame();
    EXPECT_EQ(Pixel(S.FrameGraphic, 3, 3), 0xFF0000u);
    EXPECT_EQ(Pixel(S.LayersGraphic, 3, 3), 0xFFFFFFu); // the items never reach the layers

    TLasGraphic Glyph;
    Glyph.SetSize(4, 4);
    Glyph.FillRect(0, 0, 4, 4, 0x00FF00);
    S.DrawOnLayers(Glyph, 10, 5, 2, 2, 1, 1);
    EXPECT_EQ(Pixel(S.FrameGraphic, 10, 5), 0xFFFFFFu); // not until the frame is refreshed
    S.RefreshFrame();
    EXPECT_EQ(Pixel(S.FrameGraphic, 10, 5), 0x00FF00u);
    EXPECT_EQ(Pixel(S.FrameGraphic, 12, 5), 0xFFFFFFu);
    S.Compose(); // a full compose redraws the stack over it
    EXPECT_EQ(Pixel(S.FrameGraphic, 10, 5), 0xFFFFFFu);
    EXPECT_EQ(Pixel(S.FrameGraphic, 3, 3), 0xFF0000u);
}

TEST(LasScreen, PaintPresentsTheFrameUnlessInEffect) {
    THeadlessOptions O;
    O.Width = 20;
    O.Height = 10;
    THeadlessPlatform P(O);
    TRandom R;
    TScreenCanvas Canvas(P, R);
    TLasScreen S(20, 10);
    S.BaseLayer->Graphic.FillRect(0, 0, 20, 10, 0x123456);
    S.Compose();
    S.Paint(); // no canvas yet
    EXPECT_EQ(P.PresentCount(), 0);
    S.SetCanvas(&Canvas);
    S.Paint();
    EXPECT_EQ(P.PresentCount(), 1);
    EXPECT_EQ(P.Window().ReadFrame().At(19, 9), 0x563412u);
    S.InEffect = true;
    S.Paint();
    EXPECT_EQ(P.PresentCount(), 1);
}

// A screen whose window asks for repaints every 10 ms while a fade runs: the effect
// alone paints, and the new frame is composed but left for the caller to paint.
TEST(LasScreen, TransitionComposesAndRunsTheEffectAlone) {
    THeadlessOptions O;
    O.Width = 32;
    O.Height = 24;
    THeadlessPlatform P(O);
    TRandom R;
    TScreenCanvas Canvas(P, R);
    TLasScreen S(32, 24);
    TLasLayer* L = S.InsertLayerAfter(*S.BaseLayer);
    L->Width = 32;
    L->Height = 24;
    L->Visible = true;
    Fill(L->Graphic, 32, 24, 1);
    S.Compose();

    Fill(L->Graphic, 32, 24, 2);
    S.Transition(efFadein, 0, 0, 0, 0); // no canvas: nothing at all
    EXPECT_EQ(P.PresentCount(), 0);
    EXPECT_EQ(P.Elapsed(), 0u);
    EXPECT_NE(S.FrameGraphic.ColourPlane->Pixels, L->Graphic.ColourPlane->Pixels);

    S.SetCanvas(&Canvas);
    TWindowEvents Events;
    Events.OnPaint = [&] { S.Paint(); };
    P.Window().SetEvents(Events);
    TTimerId Timer = P.App().CreateTimer(10, [&] { P.Window().RequestPaint(); });
    P.App().SetTimerEnabled(Timer, true);
    S.Transition(efFadein, 0, 0, 0, 0);
    EXPECT_EQ(P.PresentCount(), 8);
    EXPECT_EQ(P.Elapsed(), 1200u);
    EXPECT_FALSE(S.InEffect);
    EXPECT_EQ(S.FrameGraphic.ColourPlane->Pixels, L->Graphic.ColourPlane->Pixels);
    P.Window().RequestPaint(); // after the effect, repaints show the frame again
    P.App().ProcessMessages();
    EXPECT_EQ(P.PresentCount(), 9);
}

// Width and height of 0 reach to the frame's edges from (X, Y); the rest stays old.
TEST(LasScreen, TransitionWithZeroSizeCoversTheFrameFromItsCorner) {
    THeadlessOptions O;
    O.Width = 32;
    O.Height = 24;
    THeadlessPlatform P(O);
    TRandom R;
    TScreenCanvas Canvas(P, R);
    TLasScreen S(32, 24);
    S.SetCanvas(&Canvas);
    S.BaseLayer->Graphic.FillRect(0, 0, 32, 24, 0x000000);
    S.Compose();
    S.BaseLayer->Graphic.FillRect(0, 0, 32, 24, 0xFFFFFF);
    TPicture Last;
    P.SetPresentListener([&](const TPicture& F) { Last = F; });
    S.Transition(efLeftTo, 6, 4, 0, 0);
    for (int Y = 0; Y < 24; ++Y)
        for (int X = 0; X < 32; ++X)
            ASSERT_EQ(Last.At(X, Y), X >= 6 && Y >= 4 ? 0xFFFFFFu : 0u) << X << "," << Y;
}

} // namespace
} // namespace narvo

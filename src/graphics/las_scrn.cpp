#include "graphics/las_scrn.h"

#include "platform/platform.h"

#include <algorithm>
#include <cstring>

namespace narvo {

namespace {

// True when drawing `Layer` onto a Width by Height buffer overwrites every pixel of it,
// so that nothing below the layer can show.
bool CoversWhole(const TLasLayer& Layer, int Width, int Height) {
    const TLasGraphic& G = Layer.Graphic;
    if (!Layer.Visible || G.AlphaMode != amOpaque || !G.ColourPlane)
        return false;
    if (Layer.PosLeft > 0 || Layer.PosTop > 0 || Layer.ViewLeft < 0 || Layer.ViewTop < 0)
        return false;
    // The surface's clipping starts the copy at column 0 (row 0) and keeps the source
    // origin where it is, whatever the rectangle's negative left (top).
    int64_t Right = std::min<int64_t>(int64_t(Layer.PosLeft) + Layer.Width,
                                      int64_t(G.Width()) - Layer.ViewLeft);
    int64_t Bottom = std::min<int64_t>(int64_t(Layer.PosTop) + Layer.Height,
                                       int64_t(G.Height()) - Layer.ViewTop);
    return Right >= Width && Bottom >= Height;
}

} // namespace

TLasScreen::TLasScreen(int Width, int Height) {
    Layers_.push_back(std::make_unique<TLasLayer>());
    BaseLayer = Layers_.back().get();
    BaseLayer->Graphic.SetSize(Width, Height);
    BaseLayer->Width = Width;
    BaseLayer->Height = Height;
    BaseLayer->Visible = true;
    FrameGraphic.SetSize(Width, Height);
    LayersGraphic.SetSize(Width, Height);
}

TLasScreen::~TLasScreen() = default;

void TLasScreen::SetCanvas(const TScreenCanvas* NewCanvas) {
    if (NewCanvas)
        Canvas_.emplace(*NewCanvas);
    else
        Canvas_.reset();
}

TLasLayer* TLasScreen::InsertLayerAfter(TLasLayer& Layer) {
    Layers_.push_back(std::make_unique<TLasLayer>());
    TLasLayer* New = Layers_.back().get();
    New->Prev = &Layer;
    New->Next = Layer.Next;
    if (Layer.Next)
        Layer.Next->Prev = New;
    Layer.Next = New;
    return New;
}

TLasLayer* TLasScreen::LayerAt(int Index) const {
    if (Index < 0)
        return nullptr;
    TLasLayer* Layer = BaseLayer;
    for (; Layer && Index > 0; --Index)
        Layer = Layer->Next;
    return Layer;
}

int TLasScreen::LayerCount() const {
    int N = 0;
    for (const TLasLayer* Layer = BaseLayer; Layer; Layer = Layer->Next)
        ++N;
    return N;
}

TLasLayer* TLasScreen::TopLayer() const {
    TLasLayer* Layer = BaseLayer;
    while (Layer->Next)
        Layer = Layer->Next;
    return Layer;
}

void TLasScreen::Compose() {
    // Drawing starts at the highest layer that hides everything below it (the base layer
    // at worst, when it is as it should be): the buffer is not cleared, and the layers
    // below such a layer would only be overwritten.
    int W = LayersGraphic.Width(), H = LayersGraphic.Height();
    TLasLayer* Start = BaseLayer;
    for (TLasLayer* Layer = BaseLayer; Layer; Layer = Layer->Next)
        if (CoversWhole(*Layer, W, H))
            Start = Layer;
    for (TLasLayer* Layer = Start; Layer; Layer = Layer->Next)
        if (Layer->Visible)
            Layer->DrawOn(LayersGraphic);
    RefreshFrame();
}

void TLasScreen::RefreshFrame() {
    // The same as `Assign`, without making new planes when the frame already has the
    // composed buffer's size and mode, which it has but for the first time.
    const TLasGraphic& Src = LayersGraphic;
    bool Same = FrameGraphic.Width() == Src.Width() && FrameGraphic.Height() == Src.Height() &&
                FrameGraphic.AlphaMode == amOpaque && Src.AlphaMode == amOpaque &&
                FrameGraphic.ColourPlane && Src.ColourPlane;
    if (Same)
        std::memcpy(FrameGraphic.ColourPlane->Pixels.data(), Src.ColourPlane->Pixels.data(),
                    Src.ColourPlane->Pixels.size() * sizeof(uint32_t));
    else
        FrameGraphic.Assign(Src);
    DynamicLayer.DrawItems(FrameGraphic);
}

void TLasScreen::Paint() {
    if (!Canvas_ || InEffect)
        return;
    FrameGraphic.PaintTo(Canvas_->Window, 0, 0);
    Canvas_->Window.Present();
}

void TLasScreen::DrawOnLayers(const TLasGraphic& Picture, int Dx, int Dy, int W, int H, int Sx,
                              int Sy) {
    Picture.DrawTo(LayersGraphic, Dx, Dy, W, H, Sx, Sy);
}

void TLasScreen::Transition(int Effect, int X, int Y, int W, int H) {
    if (!Canvas_)
        return;
    if (W <= 0)
        W = FrameGraphic.Width();
    if (H <= 0)
        H = FrameGraphic.Height();
    TLasGraphic Old;
    Old.Assign(FrameGraphic);
    Compose();
    Canvas_->App.ProcessMessages();
    // Paint requests that arrive meanwhile must not show the new frame over the effect.
    InEffect = true;
    RunEffect(Effect, *Canvas_, Old, FrameGraphic, X, Y, W, H);
    InEffect = false;
}

} // namespace narvo

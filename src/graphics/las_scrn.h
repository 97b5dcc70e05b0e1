// The layer screen of one window: its stack of layers composed bottom to top into a
// buffer, the dynamic items drawn over that into the frame on show, the frame painted
// onto the window, and the transitions between the frame on show and a newly composed
// one. Changing a layer shows nothing by itself: callers `Compose` then `Paint` after
// layer changes, and `RefreshFrame` then `Paint` after dynamic-item changes.
#pragma once

#include "graphics/dyna_lay.h"
#include "graphics/las_effect.h"
#include "graphics/las_grf.h"
#include "graphics/las_lay.h"

#include <memory>
#include <optional>
#include <vector>

namespace narvo {

class TLasScreen {
  public:
    // A base layer of that size (white, opaque, visible) and nothing else.
    TLasScreen(int Width, int Height);
    ~TLasScreen();
    TLasScreen(const TLasScreen&) = delete;
    TLasScreen& operator=(const TLasScreen&) = delete;

    // Where `Paint` and transitions draw; null: the screen is never painted.
    void SetCanvas(const TScreenCanvas* NewCanvas);
    const TScreenCanvas* Canvas() const { return Canvas_ ? &*Canvas_ : nullptr; }

    // A new layer linked directly above `Layer`, which must be of this stack.
    TLasLayer* InsertLayerAfter(TLasLayer& Layer);
    // The layer `Index` steps above the base; null when the chain ends first.
    TLasLayer* LayerAt(int Index) const;
    int LayerCount() const;
    TLasLayer* TopLayer() const;

    // The visible layers onto `LayersGraphic`, then `RefreshFrame`.
    void Compose();
    // `FrameGraphic` becomes the composed layers with the dynamic items over them.
    void RefreshFrame();
    // The frame onto the window's back buffer, presented; nothing while a transition runs.
    void Paint();
    // Draws straight into the composed buffer, leaving the stack alone (the text reveal
    // of messages draws each character this way).
    void DrawOnLayers(const TLasGraphic& Picture, int Dx, int Dy, int W, int H, int Sx, int Sy);
    // Composes the new frame and runs effect `Effect` (0 to 7; others run nothing) from
    // the frame on show to it over (X, Y, W, H); a W or H of 0 or less means the frame's
    // width or height. Nothing without a canvas. The new frame is not painted again at
    // the end: the caller paints.
    void Transition(int Effect, int X, int Y, int W, int H);

    TLasGraphic FrameGraphic;  // the frame on show: layers plus dynamic items
    TLasGraphic LayersGraphic; // the composed layers alone
    TLasLayer* BaseLayer = nullptr;
    TDynamicLayer DynamicLayer;
    bool InEffect = false;

  private:
    std::optional<TScreenCanvas> Canvas_;
    std::vector<std::unique_ptr<TLasLayer>> Layers_; // ownership; the order is the chain's
};

} // namespace narvo

// One layer of a window's stack: a picture, where its rectangle stands on the screen,
// which part of the picture shows through it (the view origin), whether it takes part
// in composing, and the names by which commands find it. The screen (las_scrn.h) links
// its layers bottom to top and owns them.
#pragma once

#include "graphics/las_grf.h"

#include <cstdint>
#include <string>

namespace narvo {

class TLasLayer {
  public:
    TLasLayer() = default;
    TLasLayer(const TLasLayer&) = delete;
    TLasLayer& operator=(const TLasLayer&) = delete;

    TLasLayer* Prev = nullptr; // the layer below; null for the base layer
    TLasLayer* Next = nullptr; // the layer above; null for the top layer
    TLasGraphic Graphic;       // a new layer's picture is 10 by 10 white
    int32_t PosLeft = 0;
    int32_t PosTop = 0;
    int32_t Width = 0;
    int32_t Height = 0;
    int32_t ViewLeft = 0; // origin in the picture of what shows (0 or more)
    int32_t ViewTop = 0;
    bool Visible = false;
    std::string LayerName; // Shift-JIS; empty for the base layer
    std::string FileName;  // the picture last loaded; empty for a text or nothing

    // Draws the visible part of the layer onto a composed buffer.
    // The part shown starts at the view origin, cut to the layer's rectangle, to the
    // destination and to what the picture holds.
    void DrawOn(TLasGraphic& Dest) const;
};

} // namespace narvo

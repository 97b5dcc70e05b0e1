#include "graphics/las_lay.h"

namespace narvo {

void TLasLayer::DrawOn(TLasGraphic& Dest) const {
    Graphic.DrawTo(Dest, PosLeft, PosTop, Width, Height, ViewLeft, ViewTop);
}

} // namespace narvo

#include "graphics/las_grf.h"

namespace narvo {

void TLasGraphic::ResetEvents() {
    EventCount = 0;
    EventCursor = 0;
    CellX = CellY = CellHeight = CellWidth = 0;
    CharWait = 60;
}

} // namespace narvo

// PNG decoding of untrusted bytes: must answer true or false, never crash, and on true
// leave a surface whose planes match its size and mode.
#include "graphics/las_grf.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
    narvo::TLasGraphic G;
    if (G.LoadPngBytes(Data, Size)) {
        if (size_t(G.Width()) * size_t(G.Height()) != G.ColourPlane->Pixels.size()) std::abort();
        if ((G.AlphaMode != narvo::amOpaque) != bool(G.MaskPlane)) std::abort();
        if (G.MaskPlane && G.MaskPlane->Bytes.size() != G.ColourPlane->Pixels.size()) std::abort();
    }
    return 0;
}

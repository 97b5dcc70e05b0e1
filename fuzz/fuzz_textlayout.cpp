// The text engine's markup from untrusted bytes: every page is laid out until the text
// is used up; the engine must always make progress and keep its events in bounds.
#include "graphics/las_grf.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
    if (Size > 4096) return 0;
    narvo::TLasGraphic G;
    G.SetSize(160, 60);
    G.Font.Size = 12;
    G.Text.assign(reinterpret_cast<const char*>(Data), Size);
    for (int Page = 0; !G.Text.empty(); ++Page) {
        // The text plus the style prefixes of each page: more pages mean no progress.
        if (Page > int(Size) + 2) std::abort();
        G.LayoutText();
        if (G.EventCount > narvo::MaxTextEvents) std::abort();
        for (int I = 0; I < 8; ++I) G.NextTextEvent();
    }
    narvo::TLasGraphic Fit;
    Fit.Text.assign(reinterpret_cast<const char*>(Data), Size);
    int H = Fit.LayoutTextFit(120, 0);
    if (H != Fit.Height()) std::abort();
    return 0;
}

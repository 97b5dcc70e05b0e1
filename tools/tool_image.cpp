// narvo-tool image FILE OUT.png: decodes a picture the way the player does and writes it
// as an RGBA PNG whose alpha is the picture's mask (opaque where it has none).
#include "tool_commands.h"

#include "graphics/las_grf.h"
#include "graphics/png_io.h"

#include <cstdio>

namespace narvo::tool {

int RunImageTool(const TArgs& Args) {
    if (Args.size() != 2) {
        std::fprintf(stderr, "usage: narvo-tool image FILE OUT.png\n");
        return 2;
    }
    TLasGraphic Picture;
    if (!Picture.LoadPngFile(Args[0])) {
        std::fprintf(stderr, "narvo-tool image: cannot decode '%s' (not a readable PNG picture)\n",
                     Args[0].c_str());
        return 1;
    }
    TResult Saved = SavePngFile(Args[1], Picture);
    if (!Saved) {
        std::fprintf(stderr, "narvo-tool image: %s\n", Saved.Message.c_str());
        return 1;
    }
    return 0;
}

} // namespace narvo::tool

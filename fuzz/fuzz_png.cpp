// PNG decoding of untrusted bytes, straight from memory and through a package entry
// (compressed or stored, read with the container's entry reader): must answer true or
// false, never crash, and on true leave a surface whose planes match its size and mode.
#include "data/pkg.h"
#include "graphics/las_grf.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

void Check(const narvo::TLasGraphic& G) {
    if (size_t(G.Width()) * size_t(G.Height()) != G.ColourPlane->Pixels.size()) std::abort();
    if ((G.AlphaMode != narvo::amOpaque) != bool(G.MaskPlane)) std::abort();
    if (G.MaskPlane && G.MaskPlane->Bytes.size() != G.ColourPlane->Pixels.size()) std::abort();
}

// An in-memory file for the container, reached by path like a real package.
const std::string& PackagePath() {
    static const std::string Path = [] {
        int Fd = memfd_create("fuzz_png.nvp", 0);
        return Fd >= 0 ? "/proc/self/fd/" + std::to_string(Fd) : std::string();
    }();
    return Path;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
    {
        narvo::TLasGraphic G;
        if (G.LoadPngBytes(Data, Size)) Check(G);
    }
    if (Size == 0 || PackagePath().empty()) return 0;
    narvo::PkgWriter W;
    narvo::pkg_writer_init(W);
    narvo::pkg_writer_magic(W, "NV5PKG");
    if (!narvo::pkg_create(W, PackagePath())) return 0;
    W.Compressed = Data[0] & 1;
    W.Masked = (Data[0] >> 1) & 1;
    narvo::pkg_write_stream(W, std::string_view(reinterpret_cast<const char*>(Data), Size), "a.png");
    if (!narvo::pkg_finish(W)) return 0;
    narvo::PkgReader R;
    if (!narvo::pkg_open(PackagePath(), R)) return 0;
    narvo::TLasGraphic G;
    if (G.LoadPngEntry("a.png", R)) Check(G);
    narvo::pkg_close(R);
    return 0;
}

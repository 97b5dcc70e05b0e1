// BMP decoding of untrusted bytes: as a whole file image, and split into the two blocks
// an image plug-in hands back (info block, pixel rows). Must answer success or failure,
// never crash or read outside the bytes; on success the picture matches its size and
// holds no bits above the colour.
#include "platform/bitmap.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

namespace {

void Check(const narvo::TBitmap& B) {
    const narvo::TPicture& P = B.Picture;
    if (P.Width <= 0 || P.Height <= 0 || size_t(P.Width) * size_t(P.Height) != P.Pixels.size())
        std::abort();
    for (uint32_t Pixel : P.Pixels)
        if (Pixel >> 24)
            std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
    narvo::TBitmap B;
    if (B.LoadFromStream(Data, Size))
        Check(B);
    else if (!B.Picture.Pixels.empty())
        std::abort();
    // The same bytes as a plug-in's two blocks: the split point comes from the first byte.
    if (Size < 2)
        return 0;
    size_t Split = std::min<size_t>(Size - 1, 40 + size_t(Data[0]) * 4);
    std::vector<uint8_t> Info(Data + 1, Data + Split), Bits(Data + Split, Data + Size);
    if (B.LoadFromDib(Info.data(), Info.size(), Bits.data(), Bits.size()))
        Check(B);
    return 0;
}

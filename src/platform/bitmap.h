// The platform bitmap: what BMP files, MAG conversions and image plug-ins decode to
// before a surface takes the picture over with `AssignGraphic`. The BMP reader is our
// own, so every classic variant reads the same everywhere: 1, 4, 8, 16, 24 and 32 bits,
// RLE4 and RLE8, rows bottom-up or top-down, short colour tables, bit-field masks, and
// the 12-byte core header. Outside data is never trusted: a damaged picture is refused
// with a reason, nothing is read outside the bytes given, and no buffer is sized from a
// field before the field was checked.
#pragma once

#include "platform/platform_types.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace narvo {

// Pictures larger than this are refused (the same bound as PNG: 256 MB of pixels).
constexpr uint64_t MaxBitmapPixels = uint64_t(1) << 26;
constexpr int32_t MaxBitmapSide = 65536; // as wide as a MAG picture can be

class TBitmap {
  public:
    int Width() const { return Picture.Width; }
    int Height() const { return Picture.Height; }

    // A whole BMP file image ("BM", file header, info header, colours, pixels). On failure
    // the bitmap is left empty.
    TResult LoadFromStream(const void* Data, size_t Size);
    TResult LoadFromStream(std::string_view Bytes) {
        return LoadFromStream(Bytes.data(), Bytes.size());
    }
    TResult LoadFromFile(const std::string& Path);
    // A device-independent bitmap in two blocks, as image plug-ins deliver it: the info
    // block (header, bit-field masks, colour table) and the pixel rows.
    TResult LoadFromDib(const void* Info, size_t InfoSize, const void* Bits, size_t BitsSize);

    // The picture, rows top-down, 0x00RRGGBB.
    TPicture Picture;
};

// A 24-bit BMP file image of the picture, rows bottom-up (the form save files store).
std::string EncodeBmp(const TPicture& Picture);
TResult SaveBmpFile(const std::string& Path, const TPicture& Picture);

} // namespace narvo

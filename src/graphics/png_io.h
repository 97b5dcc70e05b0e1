// PNG decoding and encoding for the player's surfaces. Decoding yields 32-bit words
// (blue, green, red, alpha in memory) for every PNG colour type and depth; encoding
// writes RGBA pictures for the tools and the headless replays.
#pragma once

#include "platform/platform_types.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace narvo {

class TLasGraphic;

// What a PNG holds, decoded. `Pixels` carry the picture's alpha in bits 24 to 31 (0xFF
// where it has none). `Transparency` is set for a picture with a tRNS chunk,
// `AlphaChannel` for one whose colour type carries alpha.
struct TPngImage {
    TPicture Pixels;
    bool Transparency = false;
    bool AlphaChannel = false;
};

// Reads up to `Size` bytes into `Buffer`, answers how many it read (fewer at the end).
using TPngReader = std::function<size_t(void* Buffer, size_t Size)>;

// Decodes a whole PNG stream. False, with `Out` left empty, on a bad signature or any
// damage, and for pictures larger than `MaxPngPixels`.
bool DecodePng(const TPngReader& Read, TPngImage& Out);
bool DecodePngBytes(const void* Data, size_t Size, TPngImage& Out);

constexpr uint64_t MaxPngPixels = uint64_t(1) << 26; // 64 Mpixels, 256 MB of words

// Writes an RGBA PNG: colour from `Picture` (0x00RRGGBB words), alpha from `Alpha`
// (Width x Height bytes) or 255 everywhere when `Alpha` is null.
TResult SavePngFile(const std::string& Path, const TPicture& Picture, const uint8_t* Alpha);
// A surface with its mask plane as alpha (255 everywhere when it has none).
TResult SavePngFile(const std::string& Path, const TLasGraphic& Graphic);

} // namespace narvo

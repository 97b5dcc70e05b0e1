// `TM2BC`: the converter of MAG ("MAKI02") pictures into BMP file images of 4 or 8 bits,
// rows bottom-up, which the platform bitmap then reads. A stateless object made for one
// file. The file's header is checked before anything is allocated; after that, flag and
// pixel data that run out or copy positions that point before the picture's first byte
// never read outside the file or the picture decoded so far: what is missing decodes as
// colour 0.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace narvo {

class IDialogs;
class TBitmap;

// The fields of a MAG header, as the converter derives them.
struct TMagHeader {
    size_t HeaderPos = 0; // h: just after the first 0x1A
    bool Colours256 = false;
    uint32_t Width = 0;    // pixels, a multiple of 8 (16 colours) or 4 (256 colours)
    uint32_t RowBytes = 0; // R
    uint32_t Lines = 0;    // L
    uint32_t FlagAPos = 0; // offsets from h
    uint32_t FlagBPos = 0;
    uint32_t FlagBSize = 0;
    uint32_t PixelPos = 0;
    uint32_t PixelSize = 0;

    uint32_t PaletteBytes() const { return Colours256 ? 1024 : 64; }
    // 54 + P + R x L.
    uint64_t BmpSize() const { return 54 + uint64_t(PaletteBytes()) + uint64_t(RowBytes) * Lines; }
};

class TM2BC {
  public:
    // `Dialogs` shows the converter's one warning; without it the warning is skipped.
    explicit TM2BC(IDialogs* Dialogs = nullptr) : Dialogs_(Dialogs) {}

    bool LoadToBitmap(const std::string& Path, TBitmap& Bitmap);
    // Appends the BMP bytes to `Stream`.
    bool DecodeToStream(const std::string& Path, std::string& Stream);
    // BMP size in bytes, or 0 when the file is not a MAG picture we can convert.
    uint32_t GetBmpSize(const std::string& Path);
    // 0 on success, -1 on failure. `Buffer` holds `BufferSize` bytes, which must be the
    // file's `GetBmpSize`: the file is read again, and if it changed in between, the
    // sizes differ and the conversion fails rather than write past the buffer.
    int MMAG_MagtoBmp(const std::string& Path, uint8_t* Buffer, size_t BufferSize);

    // The same work on bytes in memory.
    static bool ReadHeader(const uint8_t* Data, size_t Size, bool CheckSizes, TMagHeader& Header);
    static int MagToBmp(const uint8_t* Data, size_t Size, uint8_t* Buffer, size_t BufferSize);

  private:
    IDialogs* Dialogs_;
};

// Largest picture the converter makes (pixels), as for the other decoders.
constexpr uint64_t MaxMagPixels = uint64_t(1) << 26;

} // namespace narvo

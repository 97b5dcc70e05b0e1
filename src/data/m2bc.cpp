#include "data/m2bc.h"

#include "platform/bitmap.h"
#include "platform/files.h"
#include "platform/platform.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace narvo {

namespace {

uint16_t U16(const uint8_t* P) {
    return uint16_t(P[0] | (P[1] << 8));
}
uint32_t U32(const uint8_t* P) {
    return uint32_t(P[0]) | (uint32_t(P[1]) << 8) | (uint32_t(P[2]) << 16) | (uint32_t(P[3]) << 24);
}
void Put16(uint8_t*& P, uint32_t V) {
    P[0] = uint8_t(V);
    P[1] = uint8_t(V >> 8);
    P += 2;
}
void Put32(uint8_t*& P, uint32_t V) {
    Put16(P, V & 0xFFFF);
    Put16(P, V >> 16);
}

// The format's sixteen copy positions: how many 2-byte units to the left and how many
// lines up the unit to copy lies. Position 0 means new pixel data.
constexpr uint8_t CopyUnitsLeft[16] = {0, 1, 2, 4, 0, 1, 0, 1, 2, 0, 1, 2, 0, 1, 2, 0};
constexpr uint8_t CopyLinesUp[16] = {0, 0, 0, 0, 1, 1, 2, 2, 2, 4, 4, 4, 8, 8, 8, 16};

// Reads bytes from one area of the file; past its end it answers 0.
struct TArea {
    const uint8_t* Pos;
    const uint8_t* End;
    uint8_t Next() { return Pos < End ? *Pos++ : 0; }
};

// The flag and pixel decoding. Lines are written into the BMP rows from the last row
// upwards. Copies address the picture as one run of bytes in MAG order (line after
// line), so a unit to the left of a line's start is the end of the line above, and a
// unit before the first byte of the picture decodes as 0.
void DecodePixels(const TMagHeader& H, const uint8_t* Data, size_t Size, uint8_t* Rows) {
    const uint8_t* Base = Data + H.HeaderPos;
    const uint8_t* End = Data + Size;
    const uint8_t* FlagA = Base + H.FlagAPos;
    const uint64_t FlagABytes = FlagA < End ? uint64_t(End - FlagA) : 0;
    uint64_t FlagABit = 0;
    TArea FlagB{Base + H.FlagBPos, std::min(End, Base + H.FlagBPos + H.FlagBSize)};
    TArea Pixels{Base + H.PixelPos, std::min(End, Base + H.PixelPos + H.PixelSize)};
    const uint32_t R = H.RowBytes, L = H.Lines;
    std::vector<uint8_t> Flags(R / 4, 0);

    for (uint32_t Y = 0; Y < L; ++Y) {
        uint8_t* Line = Rows + size_t(L - 1 - Y) * R;
        for (uint32_t K = 0; K < R / 4; ++K) {
            uint64_t Byte = FlagABit >> 3;
            bool Bit = Byte < FlagABytes && ((FlagA[Byte] >> (7 - (FlagABit & 7))) & 1);
            ++FlagABit;
            if (Bit)
                Flags[K] ^= FlagB.Next();
            for (int Half = 0; Half < 2; ++Half) {
                const uint32_t X = K * 4 + uint32_t(Half) * 2;
                const int N = Half ? (Flags[K] & 15) : (Flags[K] >> 4);
                uint8_t* Dst = Line + X;
                if (N == 0) {
                    Dst[0] = Pixels.Next();
                    Dst[1] = Pixels.Next();
                    continue;
                }
                // Source position in MAG order: line SrcY, byte SrcX.
                int64_t SrcY = int64_t(Y) - CopyLinesUp[N];
                int64_t SrcX = int64_t(X) - 2 * CopyUnitsLeft[N];
                while (SrcX < 0) {
                    SrcX += R;
                    --SrcY;
                }
                if (SrcY < 0) {
                    Dst[0] = Dst[1] = 0;
                    continue;
                }
                const uint8_t* Src = Rows + size_t(L - 1 - uint32_t(SrcY)) * R + size_t(SrcX);
                Dst[0] = Src[0];
                Dst[1] = Src[1];
            }
        }
    }
}

} // namespace

bool TM2BC::ReadHeader(const uint8_t* Data, size_t Size, bool CheckSizes, TMagHeader& H) {
    if (!Data)
        return false;
    const void* Eof = std::memchr(Data, 0x1A, Size);
    if (!Eof)
        return false;
    H.HeaderPos = size_t(static_cast<const uint8_t*>(Eof) - Data) + 1;
    if (Size < H.HeaderPos + 32)
        return false;
    if (std::memcmp(Data, "MAKI02  ", 8) != 0)
        return false;
    const uint8_t* P = Data + H.HeaderPos;
    if (P[0] != 0)
        return false;
    H.Colours256 = (P[3] & 0x80) != 0;
    const uint32_t Unit = H.Colours256 ? 4 : 8;
    const uint16_t Left = uint16_t(Unit * (U16(P + 4) / Unit));
    const uint16_t Right = uint16_t(Unit * (U16(P + 8) / Unit + 1) - 1);
    const uint16_t Top = U16(P + 6), Bottom = U16(P + 10);
    if (Left >= Right)
        return false;
    // A bottom above the top leaves no lines; such a header is refused rather than
    // taken as a picture of tens of thousands of lines.
    if (Bottom < Top)
        return false;
    H.Width = uint32_t(Right) - Left + 1;
    H.RowBytes = H.Colours256 ? H.Width : H.Width / 2;
    H.Lines = uint32_t(Bottom) - Top + 1;
    if (uint64_t(H.Width) * H.Lines > MaxMagPixels)
        return false;
    H.FlagAPos = U32(P + 12);
    H.FlagBPos = U32(P + 16);
    H.FlagBSize = U32(P + 20);
    H.PixelPos = U32(P + 24);
    H.PixelSize = U32(P + 28);
    if (CheckSizes) {
        const uint64_t Base = H.HeaderPos;
        if (Size < Base + H.FlagAPos + uint64_t(H.Lines) * ((H.RowBytes + 31) / 32))
            return false;
        if (Size < Base + H.FlagBPos + uint64_t(H.FlagBSize))
            return false;
        if (Size < Base + H.PixelPos + uint64_t(H.PixelSize))
            return false;
    }
    return true;
}

int TM2BC::MagToBmp(const uint8_t* Data, size_t Size, uint8_t* Buffer, size_t BufferSize) {
    TMagHeader H;
    if (!ReadHeader(Data, Size, true, H) || H.BmpSize() != BufferSize || !Buffer)
        return -1;
    const uint32_t Entries = H.Colours256 ? 256 : 16;
    const size_t PaletteStart = H.HeaderPos + 32;
    if (Size < PaletteStart + 3 * Entries)
        return -1;

    uint8_t* Out = Buffer;
    *Out++ = 'B';
    *Out++ = 'M';
    Put32(Out, uint32_t(H.BmpSize()));
    Put32(Out, 0);
    Put32(Out, 54 + H.PaletteBytes());
    Put32(Out, 40);
    Put32(Out, H.Width);
    Put32(Out, H.Lines);
    Put16(Out, 1);
    Put16(Out, H.Colours256 ? 8 : 4);
    for (int I = 0; I < 6; ++I)
        Put32(Out, 0); // compression, image size, resolutions, colours
    const uint8_t* Palette = Data + PaletteStart;
    for (uint32_t I = 0; I < Entries; ++I, Palette += 3) {
        // The file stores green, red, blue.
        *Out++ = Palette[2];
        *Out++ = Palette[0];
        *Out++ = Palette[1];
        *Out++ = 0;
    }
    DecodePixels(H, Data, Size, Out);
    return 0;
}

uint32_t TM2BC::GetBmpSize(const std::string& Path) {
    std::optional<std::string> Bytes = ReadWholeFile(Path);
    TMagHeader H;
    if (!Bytes ||
        !ReadHeader(reinterpret_cast<const uint8_t*>(Bytes->data()), Bytes->size(), false, H))
        return 0;
    return uint32_t(H.BmpSize());
}

int TM2BC::MMAG_MagtoBmp(const std::string& Path, uint8_t* Buffer, size_t BufferSize) {
    std::optional<std::string> Bytes = ReadWholeFile(Path);
    if (!Bytes)
        return -1;
    return MagToBmp(reinterpret_cast<const uint8_t*>(Bytes->data()), Bytes->size(), Buffer,
                    BufferSize);
}

bool TM2BC::DecodeToStream(const std::string& Path, std::string& Stream) {
    uint32_t Size = GetBmpSize(Path);
    if (Size == 0)
        return false;
    std::vector<uint8_t> Buffer(Size);
    if (MMAG_MagtoBmp(Path, Buffer.data(), Buffer.size()) != 0) {
        if (Dialogs_)
            Dialogs_->MessageBox(TDialogKind::Warning, TDialogButtons::Ok,
                                 "Failed by MMAG_MagtoBmp");
        return false;
    }
    Stream.append(reinterpret_cast<const char*>(Buffer.data()), Buffer.size());
    return true;
}

bool TM2BC::LoadToBitmap(const std::string& Path, TBitmap& Bitmap) {
    std::string Stream;
    if (!DecodeToStream(Path, Stream))
        return false;
    return bool(Bitmap.LoadFromStream(Stream));
}

} // namespace narvo

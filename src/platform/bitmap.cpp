#include "platform/bitmap.h"

#include "platform/files.h"

#include <algorithm>
#include <array>
#include <bit>
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
int32_t I32(const uint8_t* P) {
    return int32_t(U32(P));
}

constexpr uint32_t BiRgb = 0;
constexpr uint32_t BiRle8 = 1;
constexpr uint32_t BiRle4 = 2;
constexpr uint32_t BiBitfields = 3;
constexpr uint32_t BiAlphaBitfields = 6;

// Marks a colour-table slot the table does not fill: a pixel that uses it makes the
// picture damaged. Real colours never set bit 24.
constexpr uint32_t MissingColour = 0x01000000;

// One colour channel of a bit-field pixel, scaled to 8 bits with rounding.
struct TChannel {
    uint32_t Mask = 0;
    int Shift = 0;
    int Drop = 0;               // for channels wider than the table: keep the top 8 bits
    std::vector<uint8_t> Table; // value -> 8 bits, for channels of up to 12 bits

    void Set(uint32_t M) {
        Mask = M;
        Shift = std::countr_zero(M);
        uint32_t Max = M >> Shift;
        int Bits = 32 - std::countl_zero(Max);
        Table.clear();
        Drop = 0;
        if (Bits <= 12) {
            Table.resize(size_t(Max) + 1);
            for (uint32_t V = 0; V <= Max; ++V)
                Table[V] = uint8_t((V * 255 + Max / 2) / Max);
        } else {
            Drop = Bits - 8;
        }
    }
    uint32_t Get(uint32_t Pixel) const {
        uint32_t V = (Pixel & Mask) >> Shift;
        return Table.empty() ? (V >> Drop) : Table[V];
    }
};

struct TDib {
    uint32_t HeaderSize = 0;
    int32_t Width = 0;
    int32_t Height = 0;
    bool TopDown = false;
    uint16_t BitCount = 0;
    uint32_t Compression = BiRgb;
    std::array<uint32_t, 256> Palette{};
    uint32_t Masks[3] = {};
};

TResult Damaged(const char* Why) {
    return TResult::Failure(std::string("damaged BMP: ") + Why);
}

bool ValidHeaderSize(uint32_t Size) {
    switch (Size) {
    case 12:
    case 16:
    case 40:
    case 52:
    case 56:
    case 64:
    case 108:
    case 124:
        return true;
    default:
        return false;
    }
}

// Reads the info header, the masks and the colour table. `Info` holds `InfoSize`
// readable bytes; the colour table must end by `PaletteEnd` (where the pixels start).
// `TotalSize` is the size of the whole picture for the plausibility checks.
TResult ParseInfo(const uint8_t* Info, size_t InfoSize, size_t PaletteEnd, uint64_t TotalSize,
                  TDib& D) {
    if (InfoSize < 4)
        return Damaged("no info header");
    D.HeaderSize = U32(Info);
    if (!ValidHeaderSize(D.HeaderSize))
        return Damaged("unknown info header size");
    if (D.HeaderSize > InfoSize)
        return Damaged("info header cut short");
    const bool Core = D.HeaderSize == 12;
    // The second OS/2 header shares the first 40 bytes' layout but gives compression
    // codes 3 and 4 other meanings (Huffman, RLE24), which we do not decode.
    const bool Os2v2 = D.HeaderSize == 16 || D.HeaderSize == 64;
    uint16_t Planes;
    uint32_t SizeImage = 0, ColoursUsed = 0;
    int32_t XDensity = 0, YDensity = 0;
    if (Core) {
        D.Width = U16(Info + 4);
        D.Height = U16(Info + 6);
        Planes = U16(Info + 8);
        D.BitCount = U16(Info + 10);
    } else {
        D.Width = I32(Info + 4);
        D.Height = I32(Info + 8);
        Planes = U16(Info + 12);
        D.BitCount = U16(Info + 14);
        if (D.HeaderSize >= 20)
            D.Compression = U32(Info + 16);
        if (D.HeaderSize >= 24)
            SizeImage = U32(Info + 20);
        if (D.HeaderSize >= 32) {
            XDensity = I32(Info + 24);
            YDensity = I32(Info + 28);
        }
        if (D.HeaderSize >= 36)
            ColoursUsed = U32(Info + 32);
    }
    if (Planes != 1)
        return Damaged("planes is not 1");
    if (D.Width <= 0)
        return Damaged("width is not positive");
    if (D.Height == 0 || D.Height == INT32_MIN)
        return Damaged("bad height");
    if (D.Height < 0) {
        D.TopDown = true;
        D.Height = -D.Height;
    }
    if (D.Width > MaxBitmapSide || D.Height > MaxBitmapSide ||
        uint64_t(D.Width) * uint64_t(D.Height) > MaxBitmapPixels)
        return Damaged("picture too large");
    switch (D.BitCount) {
    case 1:
    case 2:
    case 4:
    case 8:
    case 16:
    case 24:
    case 32:
        break;
    default:
        return Damaged("unsupported bits per pixel");
    }
    switch (D.Compression) {
    case BiRgb:
        break;
    case BiRle8:
        if (D.BitCount != 8)
            return Damaged("RLE8 needs 8 bits per pixel");
        break;
    case BiRle4:
        if (D.BitCount != 4)
            return Damaged("RLE4 needs 4 bits per pixel");
        break;
    case BiBitfields:
    case BiAlphaBitfields:
        if (Os2v2 || (D.BitCount != 16 && D.BitCount != 32))
            return Damaged("unsupported compression");
        break;
    default:
        return Damaged("unsupported compression");
    }
    if ((D.Compression == BiRle8 || D.Compression == BiRle4) && D.TopDown)
        return Damaged("compressed rows cannot run top-down");
    // Fields that claim more data than there is, or pixels thousands of times wider
    // than tall, come from broken writers; such files are not trusted further.
    if (SizeImage > TotalSize)
        return Damaged("image size larger than the file");
    if (XDensity > 0 && YDensity > 0 &&
        (int64_t(XDensity) > 1000 * int64_t(YDensity) ||
         int64_t(YDensity) > 1000 * int64_t(XDensity)))
        return Damaged("absurd pixel density");

    size_t PaletteStart = D.HeaderSize;
    if (D.Compression == BiBitfields || D.Compression == BiAlphaBitfields) {
        if (D.HeaderSize >= 52) {
            for (int I = 0; I < 3; ++I)
                D.Masks[I] = U32(Info + 40 + 4 * I);
        } else {
            // After a 40-byte header the masks follow it.
            size_t MaskBytes = D.Compression == BiAlphaBitfields ? 16 : 12;
            if (InfoSize < PaletteStart + MaskBytes)
                return Damaged("bit-field masks cut short");
            for (int I = 0; I < 3; ++I)
                D.Masks[I] = U32(Info + PaletteStart + 4 * I);
            PaletteStart += MaskBytes;
        }
        if (!D.Masks[0] || !D.Masks[1] || !D.Masks[2])
            return Damaged("empty bit-field mask");
        if ((D.Masks[0] & D.Masks[1]) || (D.Masks[0] & D.Masks[2]) || (D.Masks[1] & D.Masks[2]))
            return Damaged("overlapping bit-field masks");
        if (D.BitCount == 16 && ((D.Masks[0] | D.Masks[1] | D.Masks[2]) >> 16))
            return Damaged("bit-field mask wider than the pixel");
    } else if (D.BitCount == 16) {
        D.Masks[0] = 0x7C00, D.Masks[1] = 0x03E0, D.Masks[2] = 0x001F;
    } else if (D.BitCount == 32) {
        D.Masks[0] = 0xFF0000, D.Masks[1] = 0x00FF00, D.Masks[2] = 0x0000FF;
    }

    D.Palette.fill(MissingColour);
    if (D.BitCount <= 8) {
        const size_t EntrySize = Core ? 3 : 4;
        const size_t Available = InfoSize > PaletteStart ? InfoSize - PaletteStart : 0;
        uint64_t Count = (!Core && ColoursUsed) ? ColoursUsed : (uint64_t(1) << D.BitCount);
        if (!Core && ColoursUsed && Count * EntrySize > Available)
            return Damaged("colour table larger than the file");
        // A table may be shorter than the full 2^bits (the pixels then must not use the
        // missing entries) or longer (the rest is ignored).
        const size_t Limit = std::min(PaletteEnd, InfoSize);
        size_t Room = Limit > PaletteStart ? (Limit - PaletteStart) / EntrySize : 0;
        size_t Entries = size_t(std::min<uint64_t>({Count, Room, 256}));
        if (Entries == 0)
            return Damaged("no colour table");
        const uint8_t* P = Info + PaletteStart;
        for (size_t I = 0; I < Entries; ++I, P += EntrySize)
            D.Palette[I] = (uint32_t(P[2]) << 16) | (uint32_t(P[1]) << 8) | P[0];
    }
    return TResult::Success();
}

// Uncompressed rows.
TResult DecodeRows(const TDib& D, const uint8_t* Bits, size_t BitsSize, TPicture& Out) {
    const uint64_t Stride = ((uint64_t(D.Width) * D.BitCount + 31) / 32) * 4;
    if (Stride * uint64_t(D.Height) > BitsSize)
        return Damaged("pixel data cut short");
    Out = TPicture(D.Width, D.Height);
    const int W = D.Width;
    uint32_t Missing = 0;
    TChannel Channel[3];
    bool Plain32 =
        D.BitCount == 32 && D.Masks[0] == 0xFF0000 && D.Masks[1] == 0xFF00 && D.Masks[2] == 0xFF;
    if (D.BitCount == 16 || (D.BitCount == 32 && !Plain32))
        for (int I = 0; I < 3; ++I)
            Channel[I].Set(D.Masks[I]);
    const uint32_t* Pal = D.Palette.data();
    for (int R = 0; R < D.Height; ++R) {
        const uint8_t* S = Bits + Stride * uint64_t(R);
        uint32_t* Dst = Out.Row(D.TopDown ? R : D.Height - 1 - R);
        switch (D.BitCount) {
        case 1:
            for (int X = 0; X < W; ++X)
                Missing |= Dst[X] = Pal[(S[X >> 3] >> (7 - (X & 7))) & 1];
            break;
        case 2:
            for (int X = 0; X < W; ++X)
                Missing |= Dst[X] = Pal[(S[X >> 2] >> (6 - 2 * (X & 3))) & 3];
            break;
        case 4:
            for (int X = 0; X < W; ++X)
                Missing |= Dst[X] = Pal[(S[X >> 1] >> ((X & 1) ? 0 : 4)) & 15];
            break;
        case 8:
            for (int X = 0; X < W; ++X)
                Missing |= Dst[X] = Pal[S[X]];
            break;
        case 16:
            for (int X = 0; X < W; ++X, S += 2) {
                uint32_t V = U16(S);
                Dst[X] = (Channel[0].Get(V) << 16) | (Channel[1].Get(V) << 8) | Channel[2].Get(V);
            }
            break;
        case 24:
            for (int X = 0; X < W; ++X, S += 3)
                Dst[X] = (uint32_t(S[2]) << 16) | (uint32_t(S[1]) << 8) | S[0];
            break;
        case 32:
            if (Plain32) {
                for (int X = 0; X < W; ++X, S += 4)
                    Dst[X] = U32(S) & 0x00FFFFFF;
            } else {
                for (int X = 0; X < W; ++X, S += 4) {
                    uint32_t V = U32(S);
                    Dst[X] =
                        (Channel[0].Get(V) << 16) | (Channel[1].Get(V) << 8) | Channel[2].Get(V);
                }
            }
            break;
        }
    }
    if (Missing & MissingColour)
        return Damaged("pixel uses a colour the table lacks");
    return TResult::Success();
}

// RLE8 and RLE4. Pixels the stream skips (by a delta, an early end of line or of the
// picture) keep the first colour of the table. Runs that would leave their row, deltas
// that leave the picture and data that ends before the picture does are damage.
TResult DecodeRle(const TDib& D, const uint8_t* Bits, size_t BitsSize, TPicture& Out) {
    const bool Four = D.Compression == BiRle4;
    const int W = D.Width, H = D.Height;
    const uint32_t* Pal = D.Palette.data();
    Out = TPicture(W, H, Pal[0] & 0x00FFFFFF);
    uint32_t Missing = 0;
    size_t P = 0;
    int X = 0, Y = 0; // Y counts rows from the bottom
    for (;;) {
        if (BitsSize - P < 2) {
            if (Y >= H)
                break; // every row written; the end mark alone is missing
            Out = TPicture();
            return Damaged("compressed data ends before the picture");
        }
        const uint8_t Count = Bits[P], Value = Bits[P + 1];
        P += 2;
        if (Count > 0) {
            if (Y >= H || Count > W - X) {
                Out = TPicture();
                return Damaged("run leaves the picture");
            }
            uint32_t* Dst = Out.Row(H - 1 - Y) + X;
            if (Four) {
                uint32_t C[2] = {Pal[Value >> 4], Pal[Value & 15]};
                for (int I = 0; I < Count; ++I)
                    Missing |= Dst[I] = C[I & 1];
            } else {
                uint32_t C = Pal[Value];
                Missing |= C;
                std::fill(Dst, Dst + Count, C);
            }
            X += Count;
            continue;
        }
        if (Value == 0) { // end of line
            X = 0;
            ++Y;
        } else if (Value == 1) { // end of picture
            break;
        } else if (Value == 2) { // delta
            if (BitsSize - P < 2) {
                Out = TPicture();
                return Damaged("delta cut short");
            }
            X += Bits[P];
            Y += Bits[P + 1];
            P += 2;
            if (X > W || Y > H) {
                Out = TPicture();
                return Damaged("delta leaves the picture");
            }
        } else { // absolute run of Value pixels, padded to a 16-bit boundary
            size_t Bytes = Four ? (size_t(Value) + 1) / 2 : Value;
            size_t Padded = (Bytes + 1) & ~size_t(1);
            if (Y >= H || Value > W - X || BitsSize - P < Bytes) {
                Out = TPicture();
                return Damaged("literal run leaves the picture or the data");
            }
            uint32_t* Dst = Out.Row(H - 1 - Y) + X;
            const uint8_t* S = Bits + P;
            if (Four)
                for (int I = 0; I < Value; ++I)
                    Missing |= Dst[I] = Pal[(S[I >> 1] >> ((I & 1) ? 0 : 4)) & 15];
            else
                for (int I = 0; I < Value; ++I)
                    Missing |= Dst[I] = Pal[S[I]];
            X += Value;
            P += std::min(Padded, BitsSize - P);
        }
    }
    if (Missing & MissingColour) {
        Out = TPicture();
        return Damaged("pixel uses a colour the table lacks");
    }
    return TResult::Success();
}

TResult DecodeDib(const uint8_t* Info, size_t InfoSize, size_t PaletteEnd, const uint8_t* Bits,
                  size_t BitsSize, uint64_t TotalSize, TPicture& Out) {
    TDib D;
    if (TResult R = ParseInfo(Info, InfoSize, PaletteEnd, TotalSize, D); !R)
        return R;
    TResult R = (D.Compression == BiRle8 || D.Compression == BiRle4)
                    ? DecodeRle(D, Bits, BitsSize, Out)
                    : DecodeRows(D, Bits, BitsSize, Out);
    if (!R)
        Out = TPicture();
    return R;
}

void Put16(std::string& S, uint32_t V) {
    S.push_back(char(V & 0xFF));
    S.push_back(char((V >> 8) & 0xFF));
}
void Put32(std::string& S, uint32_t V) {
    Put16(S, V & 0xFFFF);
    Put16(S, V >> 16);
}

} // namespace

TResult TBitmap::LoadFromStream(const void* Data, size_t Size) {
    Picture = TPicture();
    const uint8_t* B = static_cast<const uint8_t*>(Data);
    if (!B || Size < 14 + 12 || B[0] != 'B' || B[1] != 'M')
        return TResult::Failure("not a BMP picture");
    uint32_t FileSize = U32(B + 2);
    uint32_t Offset = U32(B + 10);
    // A file shorter than its header says was cut off.
    if (FileSize > Size)
        return Damaged("file shorter than its header says");
    if (Offset < 14 + 12 || Offset > Size)
        return Damaged("pixel offset outside the file");
    return DecodeDib(B + 14, Size - 14, Offset - 14, B + Offset, Size - Offset, Size, Picture);
}

TResult TBitmap::LoadFromFile(const std::string& Path) {
    std::optional<std::string> Bytes = ReadWholeFile(Path);
    if (!Bytes) {
        Picture = TPicture();
        return TResult::Failure("cannot read " + Path);
    }
    return LoadFromStream(Bytes->data(), Bytes->size());
}

TResult TBitmap::LoadFromDib(const void* Info, size_t InfoSize, const void* Bits, size_t BitsSize) {
    Picture = TPicture();
    if (!Info || !Bits)
        return TResult::Failure("no picture");
    return DecodeDib(static_cast<const uint8_t*>(Info), InfoSize, InfoSize,
                     static_cast<const uint8_t*>(Bits), BitsSize, uint64_t(InfoSize) + BitsSize,
                     Picture);
}

std::string EncodeBmp(const TPicture& Picture) {
    const uint32_t W = uint32_t(Picture.Width), H = uint32_t(Picture.Height);
    const uint32_t Stride = (W * 3 + 3) & ~3u;
    const uint32_t ImageSize = Stride * H;
    std::string S;
    S.reserve(54 + ImageSize);
    S += "BM";
    Put32(S, 54 + ImageSize);
    Put32(S, 0);
    Put32(S, 54);
    Put32(S, 40);
    Put32(S, W);
    Put32(S, H);
    Put16(S, 1);
    Put16(S, 24);
    Put32(S, BiRgb);
    Put32(S, ImageSize);
    Put32(S, 0);
    Put32(S, 0);
    Put32(S, 0);
    Put32(S, 0);
    size_t RowStart = S.size();
    S.resize(RowStart + ImageSize, '\0');
    for (uint32_t Y = 0; Y < H; ++Y) {
        const uint32_t* Src = Picture.Row(int(H - 1 - Y));
        uint8_t* D = reinterpret_cast<uint8_t*>(S.data()) + RowStart + size_t(Y) * Stride;
        for (uint32_t X = 0; X < W; ++X, D += 3) {
            D[0] = uint8_t(Src[X]);
            D[1] = uint8_t(Src[X] >> 8);
            D[2] = uint8_t(Src[X] >> 16);
        }
    }
    return S;
}

TResult SaveBmpFile(const std::string& Path, const TPicture& Picture) {
    return AtomicWriteFile(Path, EncodeBmp(Picture));
}

} // namespace narvo

// A small MAG ("MAKI02") encoder written from the format, for the converter's tests and
// fuzz seeds: no MAG file could be shipped under a clear licence, so the tests make
// their own. Each 2-byte unit is coded as a copy when one of the sixteen copy positions
// holds the same bytes (trying the positions in a rotating order so that a picture with
// repeats uses all of them), otherwise as new pixel data.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace narvo::test {

struct TMagPicture {
    bool Colours256 = false;
    uint16_t Left = 0, Top = 0, Right = 0, Bottom = 0; // as written into the header
    std::vector<uint8_t> Palette;                      // 16 or 256 entries of R, G, B
    // Rows of the derived width (left and right rounded out to the unit), top first:
    // two pixels per byte (high nibble left) for 16 colours, one for 256.
    std::vector<uint8_t> Pixels;

    uint32_t Unit() const { return Colours256 ? 4 : 8; }
    uint32_t Width() const {
        uint32_t U = Unit();
        return uint32_t(uint16_t(U * (Right / U + 1) - 1)) - U * (Left / U) + 1;
    }
    uint32_t RowBytes() const { return Colours256 ? Width() : Width() / 2; }
    uint32_t Lines() const { return uint32_t(Bottom) - Top + 1; }
};

struct TMagEncoded {
    std::string File;
    std::array<int, 16> PositionUse{}; // how often each copy position was chosen
    size_t HeaderPos = 0;
    uint32_t FlagBSize = 0;
    uint32_t PixelSize = 0;
};

inline void PutLe(std::string& S, uint32_t V, int Bytes) {
    for (int I = 0; I < Bytes; ++I)
        S.push_back(char((V >> (8 * I)) & 0xFF));
}

inline TMagEncoded EncodeMag(const TMagPicture& P, const std::string& Comment = "narvo test") {
    static constexpr int Left[16] = {0, 1, 2, 4, 0, 1, 0, 1, 2, 0, 1, 2, 0, 1, 2, 0};
    static constexpr int Up[16] = {0, 0, 0, 0, 1, 1, 2, 2, 2, 4, 4, 4, 8, 8, 8, 16};
    const uint32_t R = P.RowBytes(), L = P.Lines();
    TMagEncoded Out;
    std::vector<uint8_t> FlagA((size_t(L) * (R / 4) + 7) / 8, 0), FlagB, Data;
    std::vector<uint8_t> Previous(R / 4, 0);
    size_t Bit = 0, Rotation = 0;
    auto Unit = [&](int64_t Pos) {
        return Pos < 0 ? -1 : int(P.Pixels[size_t(Pos)] | (P.Pixels[size_t(Pos) + 1] << 8));
    };
    for (uint32_t Y = 0; Y < L; ++Y) {
        for (uint32_t K = 0; K < R / 4; ++K) {
            uint8_t Flag = 0;
            for (int Half = 0; Half < 2; ++Half) {
                int64_t Pos = int64_t(Y) * R + K * 4 + Half * 2;
                int Chosen = 0;
                for (int Try = 0; Try < 15 && !Chosen; ++Try) {
                    int N = 1 + int((Rotation + size_t(Try)) % 15);
                    int64_t Src = Pos - int64_t(Up[N]) * R - 2 * Left[N];
                    if (Src >= 0 && Unit(Src) == Unit(Pos))
                        Chosen = N;
                }
                ++Rotation;
                ++Out.PositionUse[size_t(Chosen)];
                if (!Chosen) {
                    Data.push_back(P.Pixels[size_t(Pos)]);
                    Data.push_back(P.Pixels[size_t(Pos) + 1]);
                }
                Flag = uint8_t(Flag | (Chosen << (Half ? 0 : 4)));
            }
            uint8_t Diff = Flag ^ Previous[K];
            Previous[K] = Flag;
            if (Diff) {
                FlagA[Bit >> 3] = uint8_t(FlagA[Bit >> 3] | (0x80 >> (Bit & 7)));
                FlagB.push_back(Diff);
            }
            ++Bit;
        }
    }
    std::string& F = Out.File;
    F = "MAKI02  ";
    F += "TEST";
    F += Comment;
    F.push_back('\x1A');
    Out.HeaderPos = F.size();
    const uint32_t Palette = P.Colours256 ? 768 : 48;
    const uint32_t FlagAPos = 32 + Palette;
    const uint32_t FlagBPos = FlagAPos + uint32_t(FlagA.size());
    const uint32_t PixelPos = FlagBPos + uint32_t(FlagB.size());
    Out.FlagBSize = uint32_t(FlagB.size());
    Out.PixelSize = uint32_t(Data.size());
    F.push_back('\0');                         // header top
    F.push_back('\0');                         // machine code
    F.push_back('\0');                         // machine flags
    F.push_back(P.Colours256 ? '\x80' : '\0'); // screen mode
    PutLe(F, P.Left, 2);
    PutLe(F, P.Top, 2);
    PutLe(F, P.Right, 2);
    PutLe(F, P.Bottom, 2);
    PutLe(F, FlagAPos, 4);
    PutLe(F, FlagBPos, 4);
    PutLe(F, Out.FlagBSize, 4);
    PutLe(F, PixelPos, 4);
    PutLe(F, Out.PixelSize, 4);
    for (size_t I = 0; I < Palette / 3; ++I) { // green, red, blue
        F.push_back(char(P.Palette[I * 3 + 1]));
        F.push_back(char(P.Palette[I * 3 + 0]));
        F.push_back(char(P.Palette[I * 3 + 2]));
    }
    F.append(FlagA.begin(), FlagA.end());
    F.append(FlagB.begin(), FlagB.end());
    F.append(Data.begin(), Data.end());
    return Out;
}

} // namespace narvo::test

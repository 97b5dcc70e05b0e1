// The MAG converter: round trips through the tests' own encoder (every copy position,
// 16 and 256 colours, odd left and right edges), the BMP it writes byte by byte, the
// header check, and data that runs out or points before the picture.
#include "data/m2bc.h"
#include "data_fakes.h"
#include "mag_encoder.h"
#include "platform/bitmap.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <cstring>

namespace narvo {
namespace {

uint32_t Le32(const std::string& S, size_t At) {
    return uint32_t(uint8_t(S[At])) | uint32_t(uint8_t(S[At + 1])) << 8 |
           uint32_t(uint8_t(S[At + 2])) << 16 | uint32_t(uint8_t(S[At + 3])) << 24;
}
uint16_t Le16(const std::string& S, size_t At) {
    return uint16_t(uint8_t(S[At]) | uint8_t(S[At + 1]) << 8);
}

// A picture with flat areas, stripes, repeats at every distance the copy positions
// reach, and noise that forces new data.
test::TMagPicture MakePicture(bool Colours256, uint16_t Left, uint16_t Top, uint16_t Right,
                              uint16_t Bottom) {
    test::TMagPicture P;
    P.Colours256 = Colours256;
    P.Left = Left, P.Top = Top, P.Right = Right, P.Bottom = Bottom;
    const int Colours = Colours256 ? 256 : 16;
    for (int I = 0; I < Colours; ++I) {
        P.Palette.push_back(uint8_t(I * 37));
        P.Palette.push_back(uint8_t(255 - I));
        P.Palette.push_back(uint8_t(I * 11 + 5));
    }
    const uint32_t R = P.RowBytes(), L = P.Lines();
    uint32_t Seed = 12345;
    P.Pixels.resize(size_t(R) * L);
    for (uint32_t Y = 0; Y < L; ++Y)
        for (uint32_t X = 0; X < R; ++X) {
            Seed = Seed * 1103515245 + 12345;
            uint8_t V;
            if ((Y / 5) % 3 == 0)
                V = uint8_t((X / 2) % 3); // short repeats along the line
            else if ((Y / 5) % 3 == 1)
                V = uint8_t((X / 8 + Y) % 4); // stripes: repeats lines up
            else
                V = uint8_t(Seed >> 16); // noise
            P.Pixels[size_t(Y) * R + X] = V;
        }
    return P;
}

std::string Convert(const std::string& File) {
    TMagHeader H;
    const auto* Data = reinterpret_cast<const uint8_t*>(File.data());
    if (!TM2BC::ReadHeader(Data, File.size(), false, H))
        return {};
    std::string Bmp(size_t(H.BmpSize()), '\xEE');
    if (TM2BC::MagToBmp(Data, File.size(), reinterpret_cast<uint8_t*>(Bmp.data()), Bmp.size()) != 0)
        return {};
    return Bmp;
}

TEST(Mag, RoundTripsThroughTheConverterAndTheBitmap) {
    struct TCase {
        bool Colours256;
        uint16_t Left, Top, Right, Bottom;
        uint32_t Width;
    } Cases[] = {
        {false, 0, 0, 63, 39, 64},  // 16 colours, aligned
        {false, 3, 10, 12, 49, 16}, // left 3 and right 12 round out to 0..15
        {false, 9, 0, 70, 19, 64},  // 8..71
        {true, 0, 0, 47, 39, 48},   // 256 colours, aligned
        {true, 2, 5, 13, 44, 16},   // 0..15
    };
    for (const TCase& C : Cases) {
        SCOPED_TRACE(testing::Message()
                     << (C.Colours256 ? 256 : 16) << " colours, x " << C.Left << ".." << C.Right);
        test::TMagPicture P = MakePicture(C.Colours256, C.Left, C.Top, C.Right, C.Bottom);
        ASSERT_EQ(P.Width(), C.Width);
        test::TMagEncoded E = test::EncodeMag(P);
        if (P.Lines() >= 17 && P.Width() >= 48) {
            for (int N = 0; N < 16; ++N)
                EXPECT_GT(E.PositionUse[size_t(N)], 0) << "copy position " << N;
        }

        std::string Bmp = Convert(E.File);
        ASSERT_FALSE(Bmp.empty());
        const uint32_t R = P.RowBytes(), L = P.Lines(), Pal = C.Colours256 ? 1024 : 64;
        // File header, info header, colour table.
        EXPECT_EQ(Bmp.substr(0, 2), "BM");
        EXPECT_EQ(Le32(Bmp, 2), 54 + Pal + R * L);
        EXPECT_EQ(Bmp.size(), 54 + Pal + R * L);
        EXPECT_EQ(Le32(Bmp, 6), 0u);
        EXPECT_EQ(Le32(Bmp, 10), 54 + Pal);
        EXPECT_EQ(Le32(Bmp, 14), 40u);
        EXPECT_EQ(Le32(Bmp, 18), C.Width);
        EXPECT_EQ(Le32(Bmp, 22), L);
        EXPECT_EQ(Le16(Bmp, 26), 1);
        EXPECT_EQ(Le16(Bmp, 28), C.Colours256 ? 8 : 4);
        for (size_t At = 30; At < 54; At += 4)
            EXPECT_EQ(Le32(Bmp, At), 0u) << "field at " << At;
        for (uint32_t I = 0; I < Pal / 4; ++I) {
            EXPECT_EQ(uint8_t(Bmp[54 + 4 * I]), P.Palette[3 * I + 2]);
            EXPECT_EQ(uint8_t(Bmp[55 + 4 * I]), P.Palette[3 * I + 1]);
            EXPECT_EQ(uint8_t(Bmp[56 + 4 * I]), P.Palette[3 * I + 0]);
            EXPECT_EQ(Bmp[57 + 4 * I], 0);
        }
        // The first MAG line is the last BMP row.
        for (uint32_t Y = 0; Y < L; ++Y)
            ASSERT_EQ(0, std::memcmp(Bmp.data() + 54 + Pal + size_t(L - 1 - Y) * R,
                                     P.Pixels.data() + size_t(Y) * R, R))
                << "line " << Y;

        TBitmap B;
        ASSERT_TRUE(B.LoadFromStream(Bmp));
        ASSERT_EQ(uint32_t(B.Width()), C.Width);
        for (uint32_t Y = 0; Y < L; ++Y)
            for (uint32_t X = 0; X < C.Width; ++X) {
                uint8_t Byte = P.Pixels[size_t(Y) * R + (C.Colours256 ? X : X / 2)];
                uint8_t Index = C.Colours256 ? Byte : ((X & 1) ? Byte & 15 : Byte >> 4);
                uint32_t Want = uint32_t(P.Palette[3 * Index]) << 16 |
                                uint32_t(P.Palette[3 * Index + 1]) << 8 | P.Palette[3 * Index + 2];
                ASSERT_EQ(B.Picture.At(int(X), int(Y)), Want) << X << "," << Y;
            }
    }
}

TEST(Mag, HeaderCheckRefusesWhatIsNotAMagPicture) {
    const std::string Good = test::EncodeMag(MakePicture(false, 0, 0, 15, 3)).File;
    const size_t H = Good.find('\x1A') + 1;
    auto Patched = [&](size_t At, char Byte) {
        std::string S = Good;
        S[At] = Byte;
        return S;
    };
    struct TCase {
        const char* What;
        std::string File;
        bool HeaderOk; // passes the check without the size checks
    } Cases[] = {
        {"good", Good, true},
        {"no end-of-text byte", Good.substr(0, H - 1), false},
        {"header cut short", Good.substr(0, H + 31), false},
        {"wrong magic", Patched(5, '1'), false},
        {"magic without its two spaces", Patched(7, 'x'), false},
        {"header top not 0", Patched(H, 1), false},
        {"left past right", Patched(H + 4, 16), false},
        {"bottom above top", Patched(H + 6, 9), false},
        {"flag A beyond the file", Patched(H + 15, 1), true},
        {"flag B size beyond the file", Patched(H + 23, 1), true},
        {"pixel data beyond the file", Patched(H + 31, 1), true},
    };
    for (const TCase& C : Cases) {
        SCOPED_TRACE(C.What);
        TMagHeader Header;
        const auto* Data = reinterpret_cast<const uint8_t*>(C.File.data());
        EXPECT_EQ(TM2BC::ReadHeader(Data, C.File.size(), false, Header), C.HeaderOk);
        EXPECT_EQ(!Convert(C.File).empty(), C.File == Good);
    }
}

TEST(Mag, ExampleSixteenColoursFromThreeToTwelve) {
    test::TMagPicture P = MakePicture(false, 3, 0, 12, 1);
    std::string Bmp = Convert(test::EncodeMag(P).File);
    ASSERT_FALSE(Bmp.empty());
    EXPECT_EQ(Le32(Bmp, 18), 16u);           // x 0 to 15
    EXPECT_EQ(Bmp.size(), 54u + 64 + 8 * 2); // rows of 8 bytes, no padding
}

TEST(Mag, DataThatRunsOutOrPointsBeforeThePictureDecodesAsZero) {
    test::TMagPicture P = MakePicture(false, 0, 0, 31, 19);
    test::TMagEncoded E = test::EncodeMag(P);
    const size_t H = E.HeaderPos;
    auto SetSize = [&](size_t At, uint32_t V) {
        std::string S = E.File;
        for (int I = 0; I < 4; ++I)
            S[H + At + size_t(I)] = char(V >> (8 * I));
        return S;
    };
    // No pixel data at all: every new unit is 0, and so is everything copied from them.
    std::string Bmp = Convert(SetSize(28, 0));
    ASSERT_FALSE(Bmp.empty());
    for (size_t I = 54 + 64; I < Bmp.size(); ++I)
        ASSERT_EQ(Bmp[I], 0) << I;
    // No flag B: every flag stays 0, so every unit is new data, read in order until the
    // data runs out.
    Bmp = Convert(SetSize(20, 0));
    ASSERT_FALSE(Bmp.empty());
    const uint32_t R = P.RowBytes();
    EXPECT_EQ(0, std::memcmp(Bmp.data() + Bmp.size() - R,
                             E.File.data() + E.File.size() - E.PixelSize, R));

    // Copies that reach before the first byte: line 0 copies from one line up (4) and
    // then four units to the left (3); line 1 copies 16 lines up (15).
    std::string F = "MAKI02  TEST\x1A";
    std::string Head(32, '\0');
    auto Put = [&](size_t At, uint32_t V, int N) {
        for (int I = 0; I < N; ++I)
            Head[At + size_t(I)] = char(V >> (8 * I));
    };
    Put(8, 7, 2);            // right x: 8 pixels, R = 4, one flag position per line
    Put(10, 1, 2);           // bottom y: two lines
    Put(12, 32 + 48, 4);     // flag A
    Put(16, 32 + 48 + 1, 4); // flag B
    Put(20, 2, 4);
    Put(24, 32 + 48 + 3, 4); // pixels
    Put(28, 0, 4);
    F += Head + std::string(48, '\x07') + std::string("\xC0", 1) + std::string("\x43\x7C", 2);
    Bmp = Convert(F);
    ASSERT_EQ(Bmp.size(), 54u + 64 + 8);
    for (size_t I = 54 + 64; I < Bmp.size(); ++I)
        EXPECT_EQ(Bmp[I], 0) << I;
}

TEST(Mag, FileOperationsAndTheirOneWarning) {
    test::TTempDir Dir;
    test::TRecordingDialogs Dialogs;
    TM2BC Converter(&Dialogs);
    test::TMagEncoded E = test::EncodeMag(MakePicture(true, 0, 0, 7, 3));
    test::WriteFile(Dir / "a.mag", E.File);
    EXPECT_EQ(Converter.GetBmpSize(Dir / "a.mag"), 54u + 1024 + 8 * 4);
    TBitmap B;
    EXPECT_TRUE(Converter.LoadToBitmap(Dir / "a.mag", B));
    EXPECT_EQ(B.Width(), 8);
    EXPECT_EQ(Converter.GetBmpSize(Dir / "missing.mag"), 0u);

    // Not a MAG picture: refused quietly.
    test::WriteFile(Dir / "b.mag", "MAKI01A \x1A" + std::string(40, '\0'));
    std::string Stream;
    EXPECT_FALSE(Converter.DecodeToStream(Dir / "b.mag", Stream));
    EXPECT_TRUE(Dialogs.Boxes.empty());

    // A valid start whose data is cut off, and one without room for its palette.
    for (size_t Keep : {E.File.size() - 1, E.HeaderPos + 32 + 100}) {
        test::WriteFile(Dir / "c.mag", E.File.substr(0, Keep));
        Dialogs.Boxes.clear();
        EXPECT_FALSE(Converter.DecodeToStream(Dir / "c.mag", Stream));
        ASSERT_EQ(Dialogs.Boxes.size(), 1u);
        EXPECT_EQ(Dialogs.Boxes[0].Kind, TDialogKind::Warning);
        EXPECT_EQ(Dialogs.Boxes[0].Buttons, TDialogButtons::Ok);
        EXPECT_EQ(Dialogs.Boxes[0].Text, "Failed by MMAG_MagtoBmp");
    }
    EXPECT_TRUE(Stream.empty());

    // A buffer that does not match the file (it changed after its size was taken).
    std::vector<uint8_t> Small(16);
    EXPECT_EQ(Converter.MMAG_MagtoBmp(Dir / "a.mag", Small.data(), Small.size()), -1);
}

} // namespace
} // namespace narvo

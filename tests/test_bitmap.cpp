// The platform bitmap's BMP reader and writer: the BMP Suite (good files decode to the
// suite's reference pixels, bad files are refused, questionable ones never crash),
// hand-made files for the classic variants the suite does not pin down, truncations at
// every length, and the writer's round trip.
#include "platform/bitmap.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>

namespace narvo {
namespace {

// FNV-1a over the red, green and blue bytes of every pixel, rows top-down.
uint64_t PixelHash(const TPicture& P) {
    uint64_t H = 0xcbf29ce484222325ull;
    for (uint32_t Pixel : P.Pixels)
        for (int Shift : {16, 8, 0}) {
            H ^= (Pixel >> Shift) & 0xFF;
            H *= 0x100000001b3ull;
        }
    return H;
}

std::string Suite(const std::string& Name) {
    return test::DataPath("bmpsuite/" + Name);
}

TEST(BmpSuite, GoodFilesDecodeToTheReferencePixels) {
    // Hashes of the suite's reference renderings (its PNG pictures, decoded by libpng);
    // pal8nonsquare has none of its own size and is checked against a plain decode of
    // its rows. Files of the same picture in other encodings share a hash.
    struct TCase {
        const char* File;
        int Width, Height;
        uint64_t Hash;
    } Cases[] = {
        {"pal1", 127, 64, 0x93cb10c47d28db4dull},
        {"pal1wb", 127, 64, 0x93cb10c47d28db4dull},
        {"pal1bg", 127, 64, 0xb7b540345a58dd65ull},
        {"pal4", 127, 64, 0x7442826ad2154b09ull},
        {"pal4rle", 127, 64, 0x7442826ad2154b09ull},
        {"pal4gs", 127, 64, 0x84584472fec80434ull},
        {"pal8", 127, 64, 0x4598e7515a0f7954ull},
        {"pal8-0", 127, 64, 0x4598e7515a0f7954ull},
        {"pal8os2", 127, 64, 0x4598e7515a0f7954ull},
        {"pal8rle", 127, 64, 0x4598e7515a0f7954ull},
        {"pal8topdown", 127, 64, 0x4598e7515a0f7954ull},
        {"pal8v4", 127, 64, 0x4598e7515a0f7954ull},
        {"pal8v5", 127, 64, 0x4598e7515a0f7954ull},
        {"pal8gs", 127, 64, 0x13c463af6d9a108full},
        {"pal8w124", 124, 61, 0xb48c84d29e14ad3dull},
        {"pal8w125", 125, 62, 0xdc7be9a5fc79ab93ull},
        {"pal8w126", 126, 63, 0x06c840bab970062dull},
        {"pal8nonsquare", 127, 32, 0xb937ea06db3c196cull},
        {"rgb16", 127, 64, 0xabf46743046a3eb2ull},
        {"rgb16bfdef", 127, 64, 0xabf46743046a3eb2ull},
        {"rgb16-565", 127, 64, 0x14bcfc94e43a21beull},
        {"rgb16-565pal", 127, 64, 0x14bcfc94e43a21beull},
        {"rgb24", 127, 64, 0x7cd8f819ae69b2afull},
        {"rgb24pal", 127, 64, 0x7cd8f819ae69b2afull},
        {"rgb32", 127, 64, 0x7cd8f819ae69b2afull},
        {"rgb32bf", 127, 64, 0x7cd8f819ae69b2afull},
        {"rgb32bfdef", 127, 64, 0x7cd8f819ae69b2afull},
    };
    size_t Files = 0;
    for (const auto& Entry : std::filesystem::directory_iterator(Suite("g")))
        Files += Entry.path().extension() == ".bmp";
    EXPECT_EQ(Files, std::size(Cases)) << "every good file has a reference";
    for (const TCase& C : Cases) {
        SCOPED_TRACE(C.File);
        TBitmap B;
        TResult R = B.LoadFromFile(Suite(std::string("g/") + C.File + ".bmp"));
        ASSERT_TRUE(R) << R.Message;
        EXPECT_EQ(B.Width(), C.Width);
        EXPECT_EQ(B.Height(), C.Height);
        EXPECT_EQ(PixelHash(B.Picture), C.Hash);
    }
}

TEST(BmpSuite, BadFilesAreRefusedAndOthersNeverCrash) {
    for (const char* Folder : {"b", "q", "x"}) {
        for (const auto& Entry : std::filesystem::directory_iterator(Suite(Folder))) {
            if (Entry.path().extension() != ".bmp")
                continue;
            SCOPED_TRACE(Entry.path().filename().string());
            TBitmap B;
            TResult R = B.LoadFromFile(Entry.path().string());
            if (std::string(Folder) == "b") {
                EXPECT_FALSE(R);
                EXPECT_TRUE(B.Picture.Pixels.empty());
            } else if (R) {
                EXPECT_EQ(B.Picture.Pixels.size(), size_t(B.Width()) * size_t(B.Height()));
            }
        }
    }
}

// --- Hand-made files ---------------------------------------------------------------------

void Put16(std::string& S, uint32_t V) {
    S.push_back(char(V));
    S.push_back(char(V >> 8));
}
void Put32(std::string& S, uint32_t V) {
    Put16(S, V & 0xFFFF);
    Put16(S, V >> 16);
}

// A 40-byte info header.
std::string InfoHeader(int32_t W, int32_t H, uint16_t Bits, uint32_t Compression = 0,
                       uint32_t ColoursUsed = 0) {
    std::string S;
    Put32(S, 40);
    Put32(S, uint32_t(W));
    Put32(S, uint32_t(H));
    Put16(S, 1);
    Put16(S, Bits);
    Put32(S, Compression);
    Put32(S, 0);    // image size
    Put32(S, 2835); // pixels per metre
    Put32(S, 2835);
    Put32(S, ColoursUsed);
    Put32(S, 0);
    return S;
}

// File header + info (header, masks, colours) + pixels.
std::string BmpFile(const std::string& Info, const std::string& Pixels) {
    std::string S = "BM";
    Put32(S, uint32_t(14 + Info.size() + Pixels.size()));
    Put32(S, 0);
    Put32(S, uint32_t(14 + Info.size()));
    return S + Info + Pixels;
}

std::string Colours(std::initializer_list<uint32_t> Rgb, bool Core = false) {
    std::string S;
    for (uint32_t C : Rgb) {
        S.push_back(char(C));       // blue
        S.push_back(char(C >> 8));  // green
        S.push_back(char(C >> 16)); // red
        if (!Core)
            S.push_back('\0');
    }
    return S;
}

std::vector<uint32_t> Decode(const std::string& File, TResult* Result = nullptr) {
    TBitmap B;
    TResult R = B.LoadFromStream(File);
    if (Result)
        *Result = R;
    return B.Picture.Pixels;
}

using TPixels = std::vector<uint32_t>;

TEST(Bmp, ClassicVariants) {
    const uint32_t Red = 0xFF0000, Green = 0x00FF00, Blue = 0x0000FF, White = 0xFFFFFF;
    std::string Core;
    Put32(Core, 12);
    Put16(Core, 3);
    Put16(Core, 2);
    Put16(Core, 1);
    Put16(Core, 1);
    std::string Masks565;
    Put32(Masks565, 0xF800);
    Put32(Masks565, 0x07E0);
    Put32(Masks565, 0x001F);
    std::string V5 = InfoHeader(2, 1, 32, 3);
    V5.replace(0, 4, "\x7C\0\0\0", 4);
    Put32(V5, 0x3FF00000); // red, green and blue masks inside the header: 10 bits each
    Put32(V5, 0x000FFC00);
    Put32(V5, 0x000003FF);
    V5.resize(124, '\0');
    std::string Pixel1010102;
    Put32(Pixel1010102, 0x3FF00000 | (512u << 10));
    Put32(Pixel1010102, 0x3FF);

    struct TCase {
        const char* What;
        std::string File;
        TPixels Want;
    } Cases[] = {
        // Core header, 3-byte colours, 1 bit: bits 1 0 1, rows bottom-up.
        {"core header, 1 bit",
         BmpFile(Core + Colours({Red, Blue}, true), std::string("\xA0\0\0\0\x40\0\0\0", 8)),
         {Red, Blue, Red, Blue, Red, Blue}},
        // A colour table of 3 entries for 4 bits.
        {"short colour table",
         BmpFile(InfoHeader(3, 1, 4, 0, 3) + Colours({Red, Green, Blue}),
                 std::string("\x21\x00\0\0", 4)),
         {Blue, Green, Red}},
        {"top-down 24 bits",
         BmpFile(InfoHeader(1, -2, 24),
                 std::string("\xFF\0\0\0", 4) + std::string("\0\0\xFF\0", 4)),
         {Blue, Red}},
        {"5-6-5 masks",
         BmpFile(InfoHeader(2, 1, 16, 3) + Masks565, std::string("\x00\xF8\x00\x04", 4)),
         {Red, 0x008200}},
        {"10-bit masks in a 124-byte header", BmpFile(V5, Pixel1010102), {0xFF8000, Blue}},
        // RLE8: a run, a delta to the next line's last pixel, a run of 1, end of line, a
        // literal run of 3 (padded to an even count of bytes), end of picture. Pixels
        // the stream skips keep colour 0. Rows are bottom-up.
        {"RLE8 with a delta and an odd literal run",
         BmpFile(InfoHeader(4, 3, 8, 1) + Colours({White, Red, Green, Blue}),
                 std::string("\x02\x01"
                             "\x00\x02\x01\x01"
                             "\x01\x03"
                             "\x00\x00"
                             "\x00\x03\x02\x03\x01\x00"
                             "\x00\x01",
                             18)),
         {Green, Blue, Red, White, White, White, White, Blue, Red, Red, White, White}},
        // RLE4: a run alternating two colours, then a literal of 3.
        {"RLE4 runs alternate their two colours",
         BmpFile(InfoHeader(5, 1, 4, 2) + Colours({White, Red, Green, Blue}),
                 std::string("\x02\x12"
                             "\x00\x03\x31\x20"
                             "\x00\x01",
                             8)),
         {Red, Green, Blue, Red, Green}},
        // Every row written; the end mark alone is missing.
        {"RLE8 without its end mark",
         BmpFile(InfoHeader(2, 1, 8, 1) + Colours({White, Red}),
                 std::string("\x02\x01\x00\x00", 4)),
         {Red, Red}},
    };
    for (const TCase& C : Cases) {
        TResult R;
        EXPECT_EQ(Decode(C.File, &R), C.Want) << C.What << ": " << R.Message;
    }
}

TEST(Bmp, DamageIsRefused) {
    const std::string Pal2 = Colours({0, 0xFFFFFF});
    struct TCase {
        const char* What;
        std::string File;
    } Cases[] = {
        {"index past a short table",
         BmpFile(InfoHeader(2, 1, 4, 0, 2) + Pal2, std::string("\x02\0\0\0", 4))},
        {"RLE8 run past the line",
         BmpFile(InfoHeader(2, 1, 8, 1) + Pal2, std::string("\x03\x01\x00\x01", 4))},
        {"RLE8 literal past the data",
         BmpFile(InfoHeader(8, 1, 8, 1) + Pal2, std::string("\x00\x08\x01\x01", 4))},
        {"RLE8 delta below the picture",
         BmpFile(InfoHeader(2, 1, 8, 1) + Pal2, std::string("\x00\x02\x00\x05\x00\x01", 6))},
        {"RLE8 data ends mid-picture",
         BmpFile(InfoHeader(2, 2, 8, 1) + Pal2, std::string("\x02\x01\x00\x00", 4))},
        {"RLE4 with 8 bits", BmpFile(InfoHeader(2, 1, 8, 2) + Pal2, std::string("\x00\x01", 2))},
        {"bit-field masks that overlap",
         BmpFile(InfoHeader(1, 1, 16, 3) + std::string("\xFF\0\0\0\x0F\0\0\0\0\x01\0\0", 12),
                 "\0\0\0\0")},
        {"zero height", BmpFile(InfoHeader(1, 0, 24), "")},
        {"not BM", "BA" + BmpFile(InfoHeader(1, 1, 24), std::string(4, '\0')).substr(2)},
        {"rows cut short", BmpFile(InfoHeader(1, 2, 24), std::string(4, '\0'))},
    };
    for (const TCase& C : Cases) {
        TResult R;
        EXPECT_TRUE(Decode(C.File, &R).empty()) << C.What;
        EXPECT_FALSE(R) << C.What;
    }
}

TEST(Bmp, EveryTruncationOfGoodFilesFailsCleanly) {
    for (const char* Name :
         {"g/pal4rle.bmp", "g/pal8rle.bmp", "g/pal8os2.bmp", "g/rgb32bf.bmp", "g/pal8v5.bmp"}) {
        const std::string Whole = test::ReadFile(Suite(Name));
        ASSERT_FALSE(Whole.empty());
        for (size_t N = 0; N < Whole.size(); ++N) {
            TBitmap B;
            // Read from a copy of exactly N bytes so that the sanitizers see any overrun.
            std::vector<char> Cut(Whole.begin(), Whole.begin() + std::ptrdiff_t(N));
            ASSERT_FALSE(B.LoadFromStream(Cut.data(), Cut.size())) << Name << " cut to " << N;
        }
    }
}

TEST(Bmp, PluginBlocksAndTheWriterRoundTrip) {
    TPicture P(37, 5);
    for (int Y = 0; Y < 5; ++Y)
        for (int X = 0; X < 37; ++X)
            P.Row(Y)[X] = uint32_t(X * 7) << 16 | uint32_t(Y * 50) << 8 | uint32_t(X ^ Y);
    std::string File = EncodeBmp(P);
    EXPECT_EQ(File.size(), 54u + 112 * 5); // rows of 37 x 3 bytes padded to 112
    TBitmap B;
    ASSERT_TRUE(B.LoadFromStream(File));
    EXPECT_EQ(B.Picture.Pixels, P.Pixels);
    // The same picture as an info block and a block of rows.
    ASSERT_TRUE(B.LoadFromDib(File.data() + 14, 40, File.data() + 54, File.size() - 54));
    EXPECT_EQ(B.Picture.Pixels, P.Pixels);
    EXPECT_FALSE(B.LoadFromDib(File.data() + 14, 40, File.data() + 54, File.size() - 55));

    test::TTempDir Dir;
    ASSERT_TRUE(SaveBmpFile(Dir / "p.bmp", P));
    ASSERT_TRUE(B.LoadFromFile(Dir / "p.bmp"));
    EXPECT_EQ(B.Picture.Pixels, P.Pixels);
    EXPECT_FALSE(B.LoadFromFile(Dir / "missing.bmp"));
}

} // namespace
} // namespace narvo

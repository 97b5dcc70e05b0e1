// The graphic surface: planes and alpha modes, clipping and the exact blend arithmetic,
// mask rules, colour key, colour notation, PNG decoding against an independent decode.
#include "graphics/las_grf.h"
#include "graphics/png_io.h"
#include "test_support.h"

#include <gtest/gtest.h>
#include <png.h>

#include <filesystem>
#include <random>

namespace narvo {
namespace {

using test::DataPath;

// A surface of the given size with every pixel set by a function of its position.
void Paint(TLasGraphic& G, uint32_t (*Fn)(int X, int Y)) {
    for (int Y = 0; Y < G.Height(); ++Y)
        for (int X = 0; X < G.Width(); ++X) G.ColourPlane->Row(Y)[X] = Fn(X, Y);
}

uint32_t Word(const TLasGraphic& G, int X, int Y) { return G.ColourPlane->Row(Y)[X]; }
uint8_t Mask(const TLasGraphic& G, int X, int Y) { return G.MaskPlane->Row(Y)[X]; }

TEST(LasGraphic, NewSurfaceAndPlaneLifetimes) {
    TLasGraphic G;
    EXPECT_EQ(G.Width(), 10);
    EXPECT_EQ(G.Height(), 10);
    EXPECT_EQ(G.AlphaMode, amOpaque);
    EXPECT_FALSE(G.MaskPlane);
    EXPECT_EQ(Word(G, 9, 9), 0x00FFFFFFu);

    G.SetAlphaMode(amMask); // from opaque: fully opaque mask
    EXPECT_EQ(Mask(G, 3, 3), 255);
    G.MaskPlane->Row(1)[1] = 7;
    G.SetAlphaMode(amAlpha); // between mask modes the bytes stay
    EXPECT_EQ(Mask(G, 1, 1), 7);
    G.SetSize(4, 3); // a masked surface comes back fully transparent
    EXPECT_EQ(G.Width(), 4);
    EXPECT_EQ(Mask(G, 2, 2), 0);
    G.SetAlphaMode(amOpaque);
    EXPECT_FALSE(G.MaskPlane);

    TLasGraphic Copy;
    G.SetAlphaMode(amMask);
    G.MaskPlane->Row(2)[3] = 99;
    G.ColourPlane->Row(2)[3] = 0x12345678;
    Copy.Assign(G);
    EXPECT_EQ(Copy.AlphaMode, amMask);
    EXPECT_EQ(Copy.Width(), 4);
    EXPECT_EQ(Mask(Copy, 3, 2), 99);
    EXPECT_EQ(Word(Copy, 3, 2), 0x12345678u);

    TPicture P(3, 2, 0xAB102030);
    Copy.AssignGraphic(P);
    EXPECT_EQ(Copy.AlphaMode, amOpaque);
    EXPECT_EQ(Copy.Width(), 3);
    EXPECT_EQ(Word(Copy, 2, 1), 0x00102030u);
    EXPECT_EQ(Copy.GetPixel(2, 1), 0x302010u); // answered as 0x00BBGGRR
}

// Clipping: each case copies a 4x4 source whose pixel (x, y) is 0x100 * y + x into an
// 8x6 black destination and names which destination pixels it must change.
TEST(LasGraphic, DrawToClippingTable) {
    struct Case {
        const char* Name;
        int Dx, Dy, W, H, Sx, Sy;
        int X0, Y0, CW, CH; // expected rectangle on the destination; CW 0: nothing
    };
    const Case Cases[] = {
        {"inside", 1, 1, 4, 4, 0, 0, 1, 1, 4, 4},
        {"source origin", 0, 0, 4, 4, 1, 2, 0, 0, 3, 2},
        {"left edge keeps the source column", -5, 0, 8, 2, 1, 0, 0, 0, 3, 2},
        {"top edge keeps the source row", 0, -2, 2, 4, 0, 1, 0, 0, 2, 2},
        {"right edge", 6, 0, 4, 4, 0, 0, 6, 0, 2, 4},
        {"bottom edge", 0, 4, 4, 4, 0, 0, 0, 4, 4, 2},
        {"single column", 2, 2, 1, 1, 1, 1, 2, 2, 1, 1},
        {"zero width", 2, 2, 0, 3, 0, 0, 0, 0, 0, 0},
        {"wholly left", -6, 0, 3, 3, 0, 0, 0, 0, 0, 0},
        {"wholly above", 0, -9, 3, 3, 0, 0, 0, 0, 0, 0},
        {"beyond the right", 8, 0, 3, 3, 0, 0, 0, 0, 0, 0},
        {"source origin outside", 0, 0, 4, 4, 4, 0, 0, 0, 0, 0},
    };
    for (const auto& C : Cases) {
        SCOPED_TRACE(C.Name);
        TLasGraphic Src, Dst;
        Src.SetSize(4, 4);
        Paint(Src, [](int X, int Y) { return uint32_t(0x100 * Y + X + 0x10000); });
        Dst.SetSize(8, 6);
        Paint(Dst, [](int, int) { return 0u; });
        Src.DrawTo(Dst, C.Dx, C.Dy, C.W, C.H, C.Sx, C.Sy);
        for (int Y = 0; Y < 6; ++Y)
            for (int X = 0; X < 8; ++X) {
                bool In = X >= C.X0 && X < C.X0 + C.CW && Y >= C.Y0 && Y < C.Y0 + C.CH;
                uint32_t Want = In ? uint32_t(0x100 * (C.Sy + Y - C.Y0) + C.Sx + X - C.X0 + 0x10000) : 0;
                ASSERT_EQ(Word(Dst, X, Y), Want) << "at " << X << "," << Y;
            }
    }
}

TEST(LasGraphic, DrawToArithmeticByMode) {
    struct Case {
        const char* Name;
        TAlphaMode Mode;
        uint8_t M;
        uint32_t S, D, Want;
    };
    const Case Cases[] = {
        {"opaque copies the whole word", amOpaque, 0, 0xAA123456, 0x00FFFFFF, 0xAA123456},
        {"mask 0 keeps", amMask, 0, 0x00123456, 0x00ABCDEF, 0x00ABCDEF},
        {"mask 1 copies whole", amMask, 1, 0x77123456, 0x00ABCDEF, 0x77123456},
        {"alpha 255 white on white gives 254", amAlpha, 255, 0x00FFFFFF, 0x00FFFFFF, 0x00FEFEFE},
        {"alpha 255 black on white", amAlpha, 255, 0x00000000, 0x00FFFFFF, 0x00000000},
        {"alpha 0 keeps the word", amAlpha, 0, 0x00000000, 0xFF808080, 0xFF808080},
        {"alpha 128", amAlpha, 128, 0x00FF0000, 0x000000FF, 0x007F007E},
        {"alpha clears the top byte", amAlpha, 1, 0xFF000000, 0xFF000000, 0x00000000},
    };
    for (auto Path : AvailablePixelPaths()) {
        ForcePixelPath(Path);
        for (const auto& C : Cases) {
            SCOPED_TRACE(std::string(C.Name) + " / " + PixelPathName(Path));
            TLasGraphic Src, Dst;
            Src.SetAlphaMode(C.Mode);
            Src.SetSize(9, 1); // wider than a vector, so the vector loop and the tail both run
            for (int X = 0; X < 9; ++X) {
                Src.ColourPlane->Row(0)[X] = C.S;
                if (Src.MaskPlane) Src.MaskPlane->Row(0)[X] = C.M;
            }
            Dst.SetSize(9, 1);
            Paint(Dst, [](int, int) { return 0u; });
            for (int X = 0; X < 9; ++X) Dst.ColourPlane->Row(0)[X] = C.D;
            Src.DrawTo(Dst, 0, 0, 9, 1, 0, 0);
            for (int X = 0; X < 9; ++X) EXPECT_EQ(Word(Dst, X, 0), C.Want) << X;
        }
    }
    ForcePixelPath(std::nullopt);
}

// Every vector path must give the scalar path's bytes, for random pictures, masks and
// odd widths.
TEST(LasGraphic, PixelPathsAgree) {
    std::mt19937 Rng(7);
    auto Random = [&](TLasGraphic& G) {
        for (auto& W : G.ColourPlane->Pixels) W = Rng();
        if (G.MaskPlane)
            for (auto& M : G.MaskPlane->Bytes) {
                uint32_t R = Rng() % 4;
                M = R == 0 ? 0 : R == 1 ? 255 : uint8_t(Rng());
            }
    };
    TLasGraphic Opaque, Base;
    Opaque.SetSize(37, 5);
    Random(Opaque);
    Base.SetSize(40, 7);
    Random(Base);
    for (TAlphaMode Mode : {amMask, amAlpha}) {
        TLasGraphic Src;
        Src.SetAlphaMode(Mode);
        Src.SetSize(37, 5);
        Random(Src);
        std::vector<uint32_t> Reference;
        for (auto Path : AvailablePixelPaths()) {
            ForcePixelPath(Path);
            TLasGraphic Dst;
            Dst.Assign(Base);
            Src.DrawTo(Dst, 1, 1, 37, 5, 0, 0);
            Opaque.BlendTo(Dst, 2, 0, 33, 4, 1, 1, 77);
            if (Reference.empty())
                Reference = Dst.ColourPlane->Pixels;
            else
                EXPECT_EQ(Dst.ColourPlane->Pixels, Reference) << PixelPathName(Path);
        }
    }
    ForcePixelPath(std::nullopt);
}

TEST(LasGraphic, DestinationMaskRules) {
    // Source mask bytes 0x0F, destination mask bytes 0xF0 or 0x01: the result is their OR.
    TLasGraphic Src, Dst;
    Src.SetAlphaMode(amMask);
    Src.SetSize(3, 1);
    for (auto& M : Src.MaskPlane->Bytes) M = 0x0F;
    Src.MaskPlane->Row(0)[2] = 0;
    Dst.SetAlphaMode(amMask);
    Dst.SetSize(3, 1);
    Dst.MaskPlane->Row(0)[0] = 0xF0;
    Dst.MaskPlane->Row(0)[1] = 0x01;
    Src.DrawTo(Dst, 0, 0, 3, 1, 0, 0);
    EXPECT_EQ(Mask(Dst, 0, 0), 0xFF);
    EXPECT_EQ(Mask(Dst, 1, 0), 0x0F);
    EXPECT_EQ(Mask(Dst, 2, 0), 0x00);

    // An opaque source makes the clipped rectangle of the destination mask opaque, no more.
    TLasGraphic Opaque, Masked;
    Opaque.SetSize(2, 2);
    Masked.SetAlphaMode(amMask);
    Masked.SetSize(4, 4);
    Opaque.DrawTo(Masked, 1, 1, 5, 5, 0, 0);
    for (int Y = 0; Y < 4; ++Y)
        for (int X = 0; X < 4; ++X)
            EXPECT_EQ(Mask(Masked, X, Y), (X >= 1 && X <= 2 && Y >= 1 && Y <= 2) ? 255 : 0);

    // BlendTo leaves the destination mask alone and does nothing from a masked source.
    TLasGraphic Plain;
    Plain.SetSize(4, 4);
    Paint(Plain, [](int, int) { return 0u; });
    Opaque.BlendTo(Masked, 0, 0, 4, 4, 0, 0, 255);
    EXPECT_EQ(Mask(Masked, 0, 0), 0);
    EXPECT_EQ(Word(Masked, 0, 0), 0x00FEFEFEu);
    Masked.BlendTo(Plain, 0, 0, 4, 4, 0, 0, 255);
    EXPECT_EQ(Word(Plain, 0, 0), 0u);
}

TEST(LasGraphic, FillKeyHitTranslucency) {
    TLasGraphic G;
    G.SetAlphaMode(amMask);
    G.SetSize(5, 4);
    G.FillRect(-2, 3, 4, 9, 0x0000FF); // red, clipped to x 0..1, y 3
    EXPECT_EQ(Word(G, 1, 3), 0x00FF0000u);
    EXPECT_EQ(Mask(G, 1, 3), 255);
    EXPECT_EQ(Mask(G, 2, 3), 0);
    EXPECT_EQ(G.GetPixel(0, 3), 0x0000FFu);
    EXPECT_EQ(G.GetPixel(5, 0), 0xFFFFFFFFu);
    EXPECT_FALSE(G.HitTest(2, 3));
    EXPECT_TRUE(G.HitTest(0, 3));
    EXPECT_FALSE(G.HitTest(-1, 3));

    // The key is the bottom-left pixel; only pixels of that colour become transparent.
    TLasGraphic K;
    K.SetSize(3, 2);
    K.ColourPlane->Row(1)[0] = 0xEE00FF00; // the key: green (top byte does not count)
    K.ColourPlane->Row(0)[2] = 0x0000FF00;
    K.ColourPlane->Row(0)[1] = 0x0000FF01;
    K.ApplyColourKey();
    EXPECT_EQ(K.AlphaMode, amMask);
    EXPECT_EQ(Mask(K, 0, 1), 0);
    EXPECT_EQ(Mask(K, 2, 0), 0);
    EXPECT_EQ(Mask(K, 1, 0), 255);
    EXPECT_EQ(Mask(K, 0, 0), 255);

    K.MaskPlane->Row(0)[0] = 200;
    K.MaskPlane->Row(0)[1] = 100;
    K.MakeHalfTranslucent();
    EXPECT_EQ(K.AlphaMode, amAlpha);
    EXPECT_EQ(Mask(K, 0, 0), 128);
    EXPECT_EQ(Mask(K, 1, 0), 100);
    EXPECT_FALSE(K.HitTest(0, 1));
    EXPECT_TRUE(K.HitTest(1, 0));

    TLasGraphic C;
    C.ClearTransparent();
    EXPECT_EQ(C.AlphaMode, amMask);
    EXPECT_EQ(Mask(C, 4, 4), 0);
}

TEST(LasGraphic, PaintAndStretchOntoCanvas) {
    TLasGraphic G;
    G.SetSize(2, 2);
    G.ColourPlane->Row(0)[0] = 0xFF000001;
    G.ColourPlane->Row(0)[1] = 0x00000002;
    G.ColourPlane->Row(1)[0] = 0x00000003;
    G.ColourPlane->Row(1)[1] = 0x00000004;
    TPicture Canvas(3, 3, 0x00999999);
    G.PaintTo(Canvas, 2, -1);
    EXPECT_EQ(Canvas.At(2, 0), 0x00000003u);
    EXPECT_EQ(Canvas.At(1, 0), 0x00999999u);
    EXPECT_EQ(Canvas.At(2, 1), 0x00999999u);
    TPicture Big(4, 4, 0);
    G.StretchPaintTo(Big, 0, 0, 4, 4);
    EXPECT_EQ(Big.At(0, 0), 0x00000001u); // the top byte never reaches the window
    EXPECT_EQ(Big.At(1, 1), 0x00000001u);
    EXPECT_EQ(Big.At(2, 1), 0x00000002u);
    EXPECT_EQ(Big.At(3, 3), 0x00000004u);
}

TEST(ColourNotation, BothWays) {
    struct Case {
        const char* Text;
        std::optional<uint32_t> Value;
        const char* Written; // text form of the value; null: same as Text
    };
    const Case Cases[] = {
        {"clBlack", 0x000000, nullptr},      {"clRed", 0x0000FF, nullptr},
        {"clBlue", 0xFF0000, nullptr},       {"clWhite", 0xFFFFFF, nullptr},
        {"clwhite", 0xFFFFFF, "clWhite"},    {"clNone", 0x1FFFFFFF, nullptr},
        {"clScrollBar", 0x80000000, nullptr}, {"clInfoBk", 0x80000018, nullptr},
        {"clBtnFace", 0x8000000F, nullptr},  {"0x00123456", 0x123456, nullptr},
        {"0xff", 0xFF, "clRed"},             {"255", 0xFF, "clRed"},
        {"0x1", 1, "0x00000001"},            {"16777215", 0xFFFFFF, "clWhite"},
        {"clFoo", std::nullopt, nullptr},    {"0x", std::nullopt, nullptr},
        {"0x123456789", std::nullopt, nullptr}, {"12a", std::nullopt, nullptr},
        {"", std::nullopt, nullptr},
    };
    for (const auto& C : Cases) {
        SCOPED_TRACE(C.Text);
        auto V = TextToColour(C.Text);
        EXPECT_EQ(V, C.Value);
        if (V) {
            EXPECT_EQ(ColourToText(*V), C.Written ? C.Written : C.Text);
        }
    }
    EXPECT_EQ(ColourToText(0xABCDEF), "0x00ABCDEF");
    EXPECT_EQ(ColourToPixel(0x0000FF), 0x00FF0000u);
    EXPECT_EQ(ColourToPixel(0x80000005), 0x00FFFFFFu); // clWindow: white
}

// --- PNG ---------------------------------------------------------------------------------

// The file without its colour-space chunks (gAMA, cHRM, sRGB, iCCP): the player shows
// samples as stored, while libpng's simplified interface would convert them.
std::string WithoutColourSpace(const std::string& Png) {
    std::string Out = Png.substr(0, 8);
    size_t Pos = 8;
    while (Pos + 12 <= Png.size()) {
        uint32_t Len = uint32_t(uint8_t(Png[Pos])) << 24 | uint32_t(uint8_t(Png[Pos + 1])) << 16 |
                       uint32_t(uint8_t(Png[Pos + 2])) << 8 | uint8_t(Png[Pos + 3]);
        std::string Type = Png.substr(Pos + 4, 4);
        size_t Next = Pos + 12 + Len;
        if (Next > Png.size()) break;
        if (Type != "gAMA" && Type != "cHRM" && Type != "sRGB" && Type != "iCCP")
            Out += Png.substr(Pos, Next - Pos);
        Pos = Next;
    }
    return Out;
}

// Independent decode through libpng's simplified interface, as RGBA bytes. That
// interface takes 16-bit samples as linear light and answers them premultiplied, so
// such files are read as 16-bit linear and scaled to 8 bits here; `Exact` is then false
// and colours count only where alpha is full.
bool ReferenceDecode(const std::string& Path, int& W, int& H, std::vector<uint8_t>& Rgba,
                     bool& Exact) {
    std::string Bytes = WithoutColourSpace(test::ReadFile(Path));
    png_image Image{};
    Image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&Image, Bytes.data(), Bytes.size())) return false;
    Exact = !(Image.format & PNG_FORMAT_FLAG_LINEAR);
    Image.format = PNG_FORMAT_RGBA | (Exact ? 0 : PNG_FORMAT_FLAG_LINEAR);
    std::vector<uint16_t> Wide(Exact ? 0 : PNG_IMAGE_SIZE(Image) / 2);
    Rgba.assign(Exact ? PNG_IMAGE_SIZE(Image) : PNG_IMAGE_SIZE(Image) / 2, 0);
    bool Ok = png_image_finish_read(&Image, nullptr, Exact ? (void*)Rgba.data() : (void*)Wide.data(),
                                    0, nullptr);
    for (size_t I = 0; I < Wide.size(); ++I) Rgba[I] = uint8_t((Wide[I] * 255u + 32767u) / 65535u);
    W = int(Image.width);
    H = int(Image.height);
    png_image_free(&Image);
    return Ok;
}

std::vector<std::string> SuiteFiles() {
    std::vector<std::string> Names;
    for (const auto& E : std::filesystem::directory_iterator(DataPath("pngsuite")))
        if (E.path().extension() == ".png") Names.push_back(E.path().filename().string());
    std::sort(Names.begin(), Names.end());
    return Names;
}

TEST(PngDecoding, SuiteGoodFilesMatchIndependentDecode) {
    int Checked = 0;
    for (const auto& Name : SuiteFiles()) {
        if (Name[0] == 'x') continue;
        SCOPED_TRACE(Name);
        std::string Path = DataPath("pngsuite/" + Name);
        int W = 0, H = 0;
        std::vector<uint8_t> Want;
        bool Exact = true;
        ASSERT_TRUE(ReferenceDecode(Path, W, H, Want, Exact));
        TLasGraphic G;
        ASSERT_TRUE(G.LoadPngFile(Path));
        ASSERT_EQ(G.Width(), W);
        ASSERT_EQ(G.Height(), H);
        bool HasAlpha = Name.find("4a") != std::string::npos || Name.find("6a") != std::string::npos;
        bool HasTrns = Name[0] == 't' && Name != "tp0n0g08.png" && Name != "tp0n2c08.png" &&
                       Name != "tp0n3p08.png";
        int Mismatch = 0;
        for (int Y = 0; Y < H; ++Y)
            for (int X = 0; X < W; ++X) {
                uint32_t P = Word(G, X, Y);
                const uint8_t* R = &Want[(size_t(Y) * W + X) * 4];
                const int Tolerance = Exact ? 0 : 1;
                if (!Exact && R[3] != 255) {
                    if (std::abs(int(P >> 24) - R[3]) > 1) ++Mismatch;
                    continue;
                }
                if (std::abs(int((P >> 16) & 0xFF) - R[0]) > Tolerance ||
                    std::abs(int((P >> 8) & 0xFF) - R[1]) > Tolerance ||
                    std::abs(int(P & 0xFF) - R[2]) > Tolerance ||
                    std::abs(int(P >> 24) - R[3]) > Tolerance)
                    ++Mismatch;
                if (G.MaskPlane) {
                    ASSERT_EQ(Mask(G, X, Y), P >> 24);
                }
            }
        EXPECT_EQ(Mismatch, 0);
        EXPECT_EQ(G.AlphaMode, HasTrns ? amMask : HasAlpha ? amAlpha : amOpaque);
        ++Checked;
    }
    EXPECT_GT(Checked, 150);
}

TEST(PngDecoding, DamagedFilesFailAndLeaveTheSurface) {
    int Checked = 0;
    for (const auto& Name : SuiteFiles()) {
        if (Name[0] != 'x') continue;
        SCOPED_TRACE(Name);
        TLasGraphic G;
        G.SetSize(3, 2);
        EXPECT_FALSE(G.LoadPngFile(DataPath("pngsuite/" + Name)));
        EXPECT_EQ(G.Width(), 3);
        EXPECT_EQ(G.Height(), 2);
        ++Checked;
    }
    EXPECT_EQ(Checked, 14);

    // Every truncation of a good file fails cleanly.
    std::string Bytes = test::ReadFile(DataPath("pngsuite/basn6a08.png"));
    for (size_t Cut = 0; Cut < Bytes.size(); Cut += 7) {
        TLasGraphic G;
        EXPECT_FALSE(G.LoadPngBytes(Bytes.data(), Cut)) << Cut;
        EXPECT_EQ(G.Width(), 10);
    }
    TLasGraphic G;
    EXPECT_TRUE(G.LoadPngBytes(Bytes.data(), Bytes.size()));
    EXPECT_EQ(G.AlphaMode, amAlpha);
}

TEST(PngDecoding, ExtensionAndMissingFile) {
    test::TTempDir Dir;
    std::string Bytes = test::ReadFile(DataPath("pngsuite/basn2c08.png"));
    test::WriteFile(Dir / "a.PNG", Bytes);
    test::WriteFile(Dir / "a.bmp", Bytes);
    TLasGraphic G;
    EXPECT_TRUE(G.LoadPngFile(Dir / "a.PNG"));
    EXPECT_EQ(G.Width(), 32);
    EXPECT_FALSE(G.LoadPngFile(Dir / "a.bmp"));
    EXPECT_FALSE(G.LoadPngFile(Dir / "missing.png"));
}

TEST(PngDecoding, SaveRoundTripWithMaskAsAlpha) {
    test::TTempDir Dir;
    TLasGraphic G;
    G.SetAlphaMode(amAlpha);
    G.SetSize(5, 3);
    Paint(G, [](int X, int Y) { return uint32_t(0x00102030 + X + 0x100 * Y); });
    for (int X = 0; X < 5; ++X) G.MaskPlane->Row(1)[X] = uint8_t(X * 60);
    ASSERT_TRUE(SavePngFile(Dir / "out.png", G));
    TLasGraphic Back;
    ASSERT_TRUE(Back.LoadPngFile(Dir / "out.png"));
    EXPECT_EQ(Back.AlphaMode, amAlpha);
    for (int Y = 0; Y < 3; ++Y)
        for (int X = 0; X < 5; ++X) {
            EXPECT_EQ(Word(Back, X, Y) & 0xFFFFFF, Word(G, X, Y));
            EXPECT_EQ(Mask(Back, X, Y), Mask(G, X, Y));
        }
    EXPECT_FALSE(SavePngFile(Dir / "no/such/dir.png", G));
}

} // namespace
} // namespace narvo

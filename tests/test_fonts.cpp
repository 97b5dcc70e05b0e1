// Fonts: Windows face names map to installed Japanese faces, sizes are points at 96 DPI,
// synthesised styles change the glyphs, and drawing touches exactly the glyph pixels.
#include "platform/fonts.h"
#include "test_support.h"

#include <gtest/gtest.h>

namespace narvo {
namespace {

using test::Sjis;

TEST(Fonts, WindowsNamesAndSizes) {
    EXPECT_TRUE(FontExists(Sjis("ＭＳ ゴシック")));
    EXPECT_TRUE(FontExists(Sjis("ＭＳ 明朝")));
    EXPECT_TRUE(FontExists(Sjis("ＭＳ Ｐゴシック")));
    EXPECT_TRUE(FontExists("IPAGothic"));
    EXPECT_FALSE(FontExists("No Such Face 12345"));

    EXPECT_EQ(PointsToPixels(16), 21);
    EXPECT_EQ(PointsToPixels(10), 13);
    EXPECT_EQ(PointsToPixels(12), 16);

    TFont F;
    F.Name = Sjis("ＭＳ ゴシック");
    F.Size = 16;
    TFontInstance& Gothic = FindFontInstance(F);
    EXPECT_EQ(&Gothic, &FindFontInstance(F)); // cached
    // A full-width character of a monospaced gothic face is one em wide.
    EXPECT_EQ(MeasureText(Gothic, Sjis("あいう")), 3 * 21);
    EXPECT_GE(Gothic.Height(), 21);
    EXPECT_LE(Gothic.Height(), 26);
    // Half-width characters are half as wide.
    EXPECT_EQ(MeasureText(Gothic, "ab"), 2 * MeasureText(Gothic, "a"));
    EXPECT_EQ(MeasureText(Gothic, ""), 0);
}

// Glyph pixels drawn into a small plane, as a string of '#' and '.'.
std::string Render(const TFont& F, const std::string& Text, int W, int H) {
    std::vector<uint8_t> Bytes(size_t(W) * H, 0);
    TPlaneView<uint8_t> Mask{Bytes.data(), W, H, W};
    TFontInstance& I = FindFontInstance(F);
    DrawTextGlyphs(I, Text, 1, I.Ascent(), nullptr, 0, &Mask, 1);
    std::string S;
    for (uint8_t B : Bytes) S += B ? '#' : '.';
    return S;
}

TEST(Fonts, SynthesisedStylesDiffer) {
    TFont F;
    F.Size = 16;
    std::string Regular = Render(F, Sjis("永"), 30, 30);
    EXPECT_NE(Regular.find('#'), std::string::npos);
    F.Bold = true;
    std::string Bold = Render(F, Sjis("永"), 30, 30);
    F.Bold = false;
    F.Italic = true;
    std::string Italic = Render(F, Sjis("永"), 30, 30);
    EXPECT_GT(std::count(Bold.begin(), Bold.end(), '#'), std::count(Regular.begin(), Regular.end(), '#'));
    EXPECT_NE(Italic, Regular);
}

TEST(Fonts, DrawingIsClippedAndColoursOnlyGlyphPixels) {
    TFont F;
    F.Size = 16;
    TFontInstance& I = FindFontInstance(F);
    std::vector<uint32_t> Colour(8 * 8, 0x11111111);
    std::vector<uint8_t> Mask(8 * 8, 0);
    TPlaneView<uint32_t> C{Colour.data(), 8, 8, 8};
    TPlaneView<uint8_t> M{Mask.data(), 8, 8, 8};
    // Mostly outside the plane on every side: must not write out of bounds.
    DrawTextGlyphs(I, Sjis("国国"), -10, 5, &C, 0x00ABCDEF, &M, 255);
    int Set = 0;
    for (size_t P = 0; P < Colour.size(); ++P) {
        EXPECT_EQ(Colour[P] == 0x00ABCDEF, Mask[P] == 255);
        Set += Mask[P] == 255;
    }
    EXPECT_GT(Set, 0);
}

TEST(Fonts, SjisToUnicode) {
    std::string S = Sjis("あA\xEF\xBD\xB1"); // hiragana a, A, half-width katakana a
    EXPECT_EQ(SjisCharToUnicode(S, 0, 2), 0x3042u);
    EXPECT_EQ(SjisCharToUnicode(S, 2, 1), uint32_t('A'));
    EXPECT_EQ(SjisCharToUnicode(S, 3, 1), 0xFF71u);
    EXPECT_EQ(SjisCharToUnicode("\x81\x7F", 0, 2), 0xFFFDu); // no character there
}

} // namespace
} // namespace narvo

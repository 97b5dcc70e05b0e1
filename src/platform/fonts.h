// Text rendering for the player: faces found by family name through fontconfig, glyphs
// rasterised by FreeType and kept in the player's own cache, sizes in points at 96 DPI.
// Works name Windows faces ("ＭＳ ゴシック", "ＭＳ 明朝", ...); those map to the installed
// Japanese faces. Glyphs are binary (coverage thresholded at one half) so that a text's
// colour plane and its mask agree pixel for pixel: see docs/text.md.
//
// The cache is process-wide and not thread-safe: the player draws on its one thread.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace narvo {

// A font as the player's objects describe it. `Name` is the face's family name in
// Shift-JIS (empty: the default face); `Size` is in points; `Colour` is 0x00BBGGRR.
struct TFont {
    std::string Name;
    int Size = 10;
    uint32_t Colour = 0;
    bool Bold = false;
    bool Italic = false;
};

// A horizontal run of set pixels of a glyph, relative to the glyph's bitmap origin.
struct TGlyphSpan {
    uint16_t Y = 0;
    uint16_t X = 0;
    uint16_t Length = 0;
};

// One rasterised glyph: a binary bitmap kept as spans of set pixels (drawing fills
// spans, with no test per pixel), placed relative to the pen on the baseline.
struct TGlyph {
    uint32_t Index = 0;      // glyph index in the face, for kerning
    int32_t Advance = 0;     // pixels
    int16_t Left = 0;        // bitmap's left edge relative to the pen
    int16_t Top = 0;         // bitmap's top row above the baseline
    uint16_t Width = 0;
    uint16_t Rows = 0;
    uint32_t FirstSpan = 0;  // into the instance's span store
    uint32_t SpanCount = 0;
};

class TFontFace;

// A face at one pixel size and style, with its glyphs. Obtained from `FindFontInstance`
// and owned by the process-wide cache; references stay valid until `ClearFontCache`.
class TFontInstance {
public:
    TFontInstance(TFontFace& Face, int PixelSize, bool Bold, bool Italic);
    ~TFontInstance();
    TFontInstance(const TFontInstance&) = delete;
    TFontInstance& operator=(const TFontInstance&) = delete;

    int Ascent() const { return Ascent_; }
    // Height of a line of this font (ascent plus descent), at least 1.
    int Height() const { return Height_; }
    bool HasKerning() const { return HasKerning_; }

    // The glyph of a Unicode code point, rendered on first use.
    const TGlyph& Glyph(uint32_t CodePoint) {
        if (CodePoint < 0x10000) {
            const Page* P = Pages_[CodePoint >> 8].get();
            if (P) {
                int32_t Slot = (*P)[CodePoint & 0xFF];
                if (Slot >= 0) return Glyphs_[size_t(Slot)];
            }
        }
        return LoadGlyph(CodePoint);
    }
    // Kerning in pixels between two glyph indices (0 when the face has none).
    int Kerning(uint32_t Left, uint32_t Right);
    int PixelSize() const { return PixelSize_; }
    const TGlyphSpan* Spans(const TGlyph& G) const { return Spans_.data() + G.FirstSpan; }

private:
    using Page = std::array<int32_t, 256>;
    const TGlyph& LoadGlyph(uint32_t CodePoint);

    TFontFace& Face_;
    void* Size_ = nullptr; // FT_Size of this instance
    int PixelSize_;
    bool Bold_, Italic_;
    int Ascent_ = 0, Height_ = 1;
    bool HasKerning_ = false;
    std::unique_ptr<Page> Pages_[256];
    std::vector<TGlyph> Glyphs_;
    std::vector<TGlyphSpan> Spans_;
    std::vector<std::pair<uint32_t, int32_t>> Other_; // code points beyond the first plane
};

// Pixels of an em for a size in points at 96 DPI, rounded as the original platform did.
int PointsToPixels(int Points);

// The instance for a font (face by name with fallbacks, size, bold, italic).
TFontInstance& FindFontInstance(const TFont& Font);
// True when an installed face has this family name (Shift-JIS), the mapped Windows
// names included.
bool FontExists(std::string_view SjisName);
// Drops every cached glyph and size (faces stay open). For benchmarks and tests.
void ClearFontCache();

// Unicode code point of the Shift-JIS character at `Text[Pos]` (one or two bytes, as
// `SjisCharLength` says); U+FFFD when it has none.
uint32_t SjisCharToUnicode(std::string_view Text, size_t Pos, size_t Length);

// Width in pixels of a Shift-JIS string drawn in one piece: advances plus kerning.
int MeasureText(TFontInstance& Font, std::string_view Sjis);

// A destination for drawn text: rows of 32-bit words or bytes with a pitch in elements.
template <typename T>
struct TPlaneView {
    T* Pixels = nullptr;
    int Width = 0;
    int Height = 0;
    ptrdiff_t Pitch = 0;
};

// Draws a Shift-JIS string with its pen starting at (X, baseline Y): sets every covered
// pixel of `Colour` (may be null) to `ColourWord` and of `Mask` (may be null) to
// `MaskByte`. Clipped to each plane.
void DrawTextGlyphs(TFontInstance& Font, std::string_view Sjis, int X, int BaselineY,
                    TPlaneView<uint32_t>* Colour, uint32_t ColourWord,
                    TPlaneView<uint8_t>* Mask, uint8_t MaskByte);

} // namespace narvo

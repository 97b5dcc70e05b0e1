// Text layout against FreeType doing the glyph work alone, on a full 640x480 page of
// Japanese at 16 points: warm (against drawing FreeType's own bitmaps of the same glyphs,
// already rendered) and cold (against FreeType loading and rendering each distinct glyph
// once). Single lines of 40 and 400 characters show that the time per character does
// not grow with the line.
#include "graphics/las_grf.h"
#include "platform/encoding.h"
#include "system/icm_sub.h"

#include <benchmark/benchmark.h>
#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_GLYPH_H
#include FT_SIZES_H

#include <set>
#include <unordered_map>

namespace {

using namespace narvo;

// About 600 characters of Japanese prose, Shift-JIS, no line breaks.
const std::string& PageText() {
    static const std::string Text = [] {
        std::string Paragraph = Utf8ToSjis(
            "ある日の暮方の事である。一人の男が、門の下で雨やみを待っていた。広い門の下には、"
            "この男のほかに誰もいない。ただ、所々丹塗の剥げた、大きな円柱に、蟋蟀が一匹とまっ"
            "ている。門が、大路にある以上は、この男のほかにも、雨やみをする市女笠や揉烏帽子が、"
            "もう二三人はありそうなものである。それが、この男のほかには誰もいない。");
        std::string Out;
        while (Out.size() < 1200) Out += Paragraph;
        return std::string(SjisTruncate(Out, 1200));
    }();
    return Text;
}

size_t CharCount(const std::string& Sjis) {
    size_t N = 0;
    for (size_t P = 0; P < Sjis.size(); P += SjisCharLength(Sjis, P)) ++N;
    return N;
}

void BM_LayoutPageWarm(benchmark::State& State) {
    TLasGraphic G;
    G.SetSize(640, 480);
    G.Font.Size = 16;
    G.Text = PageText();
    G.LayoutText();
    for (auto _ : State) {
        G.Text = PageText();
        benchmark::DoNotOptimize(G.LayoutText());
    }
    State.SetItemsProcessed(State.iterations() * int64_t(CharCount(PageText())));
}

void BM_LayoutPageCold(benchmark::State& State) {
    TLasGraphic G;
    G.SetSize(640, 480);
    G.Font.Size = 16;
    for (auto _ : State) {
        ClearFontCache();
        G.Text = PageText();
        benchmark::DoNotOptimize(G.LayoutText());
    }
    State.SetItemsProcessed(State.iterations() * int64_t(CharCount(PageText())));
}

// One line of N characters, laid out at a width that holds it.
void BM_LayoutLine(benchmark::State& State) {
    std::string Line(SjisTruncate(PageText(), size_t(State.range(0)) * 2));
    TLasGraphic G;
    G.Font.Size = 16;
    for (auto _ : State) {
        G.Text = Line;
        benchmark::DoNotOptimize(G.LayoutTextFit(int(State.range(0)) * 22 + 100, 0));
    }
    State.SetItemsProcessed(State.iterations() * int64_t(CharCount(Line)));
}

// --- FreeType alone -----------------------------------------------------------------------

std::string DefaultFaceFile() {
    FcInit();
    FcPattern* P = FcNameParse(reinterpret_cast<const FcChar8*>("IPAGothic"));
    FcConfigSubstitute(nullptr, P, FcMatchPattern);
    FcDefaultSubstitute(P);
    FcResult R;
    FcPattern* M = FcFontMatch(nullptr, P, &R);
    FcChar8* File = nullptr;
    std::string Out;
    if (M && FcPatternGetString(M, FC_FILE, 0, &File) == FcResultMatch) Out = reinterpret_cast<char*>(File);
    if (M) FcPatternDestroy(M);
    FcPatternDestroy(P);
    return Out;
}

std::vector<uint32_t> PageCodePoints() {
    std::vector<uint32_t> Out;
    const std::string& T = PageText();
    for (size_t P = 0; P < T.size();) {
        size_t L = SjisCharLength(T, P);
        Out.push_back(SjisCharToUnicode(T, P, L));
        P += L;
    }
    return Out;
}

// FreeType drawing a page from glyphs it has already rendered: each character's bitmap
// (kept as FreeType made it, one bit per pixel) is looked up and drawn into a cleared
// 640x480 picture, lines wrapping at the width. FreeType's own cache subsystem is not
// used: with this FreeType version its lookups missed every time in this program (the
// cache manager leaves memory uninitialised), which would make the reference look slow.
void BM_FreeTypeCachedPage(benchmark::State& State) {
    static std::string File = DefaultFaceFile();
    FT_Library Lib;
    FT_Init_FreeType(&Lib);
    FT_Face Face;
    FT_New_Face(Lib, File.c_str(), 0, &Face);
    FT_Set_Pixel_Sizes(Face, 0, 21);
    auto Codes = PageCodePoints();
    std::unordered_map<uint32_t, FT_BitmapGlyph> Glyphs;
    for (uint32_t C : Codes) {
        if (Glyphs.count(C)) continue;
        FT_Load_Char(Face, C, FT_LOAD_RENDER | FT_LOAD_TARGET_MONO | FT_LOAD_NO_BITMAP);
        FT_Glyph G;
        FT_Get_Glyph(Face->glyph, &G);
        Glyphs[C] = reinterpret_cast<FT_BitmapGlyph>(G);
    }
    std::vector<uint32_t> Picture(640 * 480);
    for (auto _ : State) {
        std::fill(Picture.begin(), Picture.end(), 0x00FFFFFFu);
        int PenX = 0, Baseline = 18;
        for (uint32_t C : Codes) {
            FT_BitmapGlyph G = Glyphs.find(C)->second;
            int Advance = int(G->root.advance.x >> 16);
            if (PenX + Advance > 640) {
                PenX = 0;
                Baseline += 22;
            }
            const FT_Bitmap& B = G->bitmap;
            for (unsigned Y = 0; Y < B.rows; ++Y) {
                int Row = Baseline - G->top + int(Y);
                if (Row < 0 || Row >= 480) continue;
                const uint8_t* Bits = B.buffer + ptrdiff_t(Y) * B.pitch;
                for (unsigned X = 0; X < B.width; ++X) {
                    int Col = PenX + G->left + int(X);
                    if (Col >= 0 && Col < 640 && (Bits[X >> 3] & (0x80 >> (X & 7))))
                        Picture[size_t(Row) * 640 + size_t(Col)] = 0;
                }
            }
            PenX += Advance;
        }
        benchmark::DoNotOptimize(Picture.data());
    }
    State.SetItemsProcessed(State.iterations() * int64_t(Codes.size()));
    for (auto& [C, G] : Glyphs) FT_Done_Glyph(reinterpret_cast<FT_Glyph>(G));
    FT_Done_Face(Face);
    FT_Done_FreeType(Lib);
}

void BM_FreeTypeUncachedPage(benchmark::State& State) {
    static std::string File = DefaultFaceFile();
    FT_Library Lib;
    FT_Init_FreeType(&Lib);
    FT_Face Face;
    FT_New_Face(Lib, File.c_str(), 0, &Face);
    auto Codes = PageCodePoints();
    std::set<uint32_t> Distinct(Codes.begin(), Codes.end());
    for (auto _ : State) {
        FT_Size Size;
        FT_New_Size(Face, &Size);
        FT_Activate_Size(Size);
        FT_Set_Pixel_Sizes(Face, 0, 21);
        for (uint32_t C : Distinct) {
            FT_Load_Char(Face, C, FT_LOAD_RENDER | FT_LOAD_TARGET_MONO | FT_LOAD_NO_BITMAP);
            benchmark::DoNotOptimize(Face->glyph->bitmap.buffer);
        }
        FT_Done_Size(Size);
    }
    State.SetItemsProcessed(State.iterations() * int64_t(Codes.size()));
    State.SetLabel(std::to_string(Distinct.size()) + " distinct glyphs");
    FT_Done_Face(Face);
    FT_Done_FreeType(Lib);
}

} // namespace

BENCHMARK(BM_FreeTypeCachedPage);
BENCHMARK(BM_LayoutPageWarm);
BENCHMARK(BM_FreeTypeUncachedPage);
BENCHMARK(BM_LayoutPageCold);
BENCHMARK(BM_LayoutLine)->Arg(40)->Arg(400);

BENCHMARK_MAIN();

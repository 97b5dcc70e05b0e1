#include "platform/fonts.h"

#include "platform/encoding.h"
#include "system/icm_sub.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_SIZES_H
#include FT_SYNTHESIS_H

#include <iconv.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <unordered_map>

namespace narvo {

// [SECTION] Shift-JIS to Unicode -----------------------------------------------------

namespace {

// Code points of every Shift-JIS character, indexed by its one or two bytes (a single
// byte at index b, a pair at (lead << 8) | trail), built once from the system's CP932
// converter so that drawing text never calls iconv per character.
class TSjisTable {
public:
    TSjisTable() : Map_(0x10000, 0xFFFD) {
        for (unsigned B = 0; B < 0x80; ++B) Map_[B] = uint16_t(B);
        for (unsigned B = 0xA1; B <= 0xDF; ++B) Map_[B] = uint16_t(0xFF61 + (B - 0xA1));
        iconv_t Cd = iconv_open("UTF-32LE", "CP932");
        if (Cd == reinterpret_cast<iconv_t>(-1)) return;
        for (unsigned Lead = 0x81; Lead <= 0xFC; ++Lead) {
            if (!IsSjisLeadByte(uint8_t(Lead))) continue;
            for (unsigned Trail = 0x40; Trail <= 0xFC; ++Trail) {
                char In[2] = {char(Lead), char(Trail)};
                uint32_t Out = 0;
                char* InPtr = In;
                char* OutPtr = reinterpret_cast<char*>(&Out);
                size_t InLeft = 2, OutLeft = 4;
                iconv(Cd, nullptr, nullptr, nullptr, nullptr);
                if (iconv(Cd, &InPtr, &InLeft, &OutPtr, &OutLeft) != size_t(-1) && OutLeft == 0 &&
                    Out < 0x10000)
                    Map_[(Lead << 8) | Trail] = uint16_t(Out);
            }
        }
        iconv_close(Cd);
    }
    uint32_t operator[](unsigned Index) const { return Map_[Index]; }

private:
    std::vector<uint16_t> Map_;
};

const TSjisTable& SjisTable() {
    static const TSjisTable Table;
    return Table;
}

} // namespace

uint32_t SjisCharToUnicode(std::string_view Text, size_t Pos, size_t Length) {
    unsigned B0 = uint8_t(Text[Pos]);
    if (Length == 1) return B0 < 0x80 ? B0 : SjisTable()[B0];
    return SjisTable()[(B0 << 8) | uint8_t(Text[Pos + 1])];
}

// [SECTION] Faces ---------------------------------------------------------------------

class TFontFace {
public:
    TFontFace(FT_Face Face, bool RealBold, bool RealItalic)
        : Face_(Face), RealBold_(RealBold), RealItalic_(RealItalic) {}
    ~TFontFace() {
        if (Face_) FT_Done_Face(Face_);
    }
    FT_Face Face() const { return Face_; }
    bool RealBold() const { return RealBold_; }
    bool RealItalic() const { return RealItalic_; }

private:
    FT_Face Face_;
    bool RealBold_, RealItalic_;
};

namespace {

// Windows faces that works name, and the installed faces that stand in for them.
struct TFaceAlias {
    const char* Windows;
    const char* Installed;
};
constexpr TFaceAlias FaceAliases[] = {
    {"ＭＳ ゴシック", "IPAGothic"},   {"MS Gothic", "IPAGothic"},
    {"ＭＳ Ｐゴシック", "IPAPGothic"}, {"MS PGothic", "IPAPGothic"},
    {"ＭＳ ＵＩ Gothic", "IPAPGothic"}, {"MS UI Gothic", "IPAPGothic"},
    {"ＭＳ 明朝", "IPAMincho"},       {"MS Mincho", "IPAMincho"},
    {"ＭＳ Ｐ明朝", "IPAPMincho"},     {"MS PMincho", "IPAPMincho"},
    {"メイリオ", "IPAPGothic"},       {"Meiryo", "IPAPGothic"},
};
constexpr const char* DefaultFamily = "IPAGothic";

struct TFontSystem {
    FT_Library Library = nullptr;
    bool FontconfigReady = false;
    std::map<std::string, std::unique_ptr<TFontFace>> FacesByFile; // "path#index#b#i"
    std::map<std::string, TFontFace*> FacesByRequest;               // "name#b#i"
    std::map<std::string, std::unique_ptr<TFontInstance>> Instances;

    TFontSystem() {
        FT_Init_FreeType(&Library);
        FontconfigReady = FcInit();
    }
    ~TFontSystem() {
        Instances.clear();
        FacesByFile.clear();
        if (Library) FT_Done_FreeType(Library);
    }
};

TFontSystem& System() {
    static TFontSystem Instance;
    return Instance;
}

std::string InstalledFamily(std::string_view Utf8Name) {
    if (Utf8Name.empty()) return DefaultFamily;
    for (const auto& A : FaceAliases)
        if (Utf8Name == A.Windows) return A.Installed;
    return std::string(Utf8Name);
}

struct TMatch {
    std::string File;
    int Index = 0;
    bool FamilyMatched = false;
};

// The best installed face for a family through fontconfig; `FamilyMatched` tells whether
// it is that family or a fallback.
bool MatchFamily(const std::string& Family, bool Bold, bool Italic, TMatch& Out) {
    if (!System().FontconfigReady) return false;
    FcPattern* Pattern = FcPatternCreate();
    FcPatternAddString(Pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(Family.c_str()));
    FcPatternAddString(Pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(DefaultFamily));
    FcPatternAddString(Pattern, FC_LANG, reinterpret_cast<const FcChar8*>("ja"));
    FcPatternAddInteger(Pattern, FC_WEIGHT, Bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
    FcPatternAddInteger(Pattern, FC_SLANT, Italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcConfigSubstitute(nullptr, Pattern, FcMatchPattern);
    FcDefaultSubstitute(Pattern);
    FcResult Result;
    FcPattern* Match = FcFontMatch(nullptr, Pattern, &Result);
    FcPatternDestroy(Pattern);
    if (!Match) return false;
    FcChar8* File = nullptr;
    bool Ok = FcPatternGetString(Match, FC_FILE, 0, &File) == FcResultMatch;
    if (Ok) {
        Out.File = reinterpret_cast<const char*>(File);
        FcPatternGetInteger(Match, FC_INDEX, 0, &Out.Index);
        FcChar8* Name = nullptr;
        for (int I = 0; FcPatternGetString(Match, FC_FAMILY, I, &Name) == FcResultMatch; ++I)
            if (SameTextAscii(reinterpret_cast<const char*>(Name), Family)) Out.FamilyMatched = true;
    }
    FcPatternDestroy(Match);
    return Ok;
}

TFontFace* FindFace(const std::string& SjisName, bool Bold, bool Italic) {
    TFontSystem& S = System();
    std::string Key = SjisName + '#' + char('0' + Bold) + char('0' + Italic);
    auto It = S.FacesByRequest.find(Key);
    if (It != S.FacesByRequest.end()) return It->second;

    TFontFace* Face = nullptr;
    TMatch Match;
    if (S.Library && MatchFamily(InstalledFamily(SjisToUtf8(SjisName)), Bold, Italic, Match)) {
        std::string FileKey = Match.File + '#' + std::to_string(Match.Index);
        auto F = S.FacesByFile.find(FileKey);
        if (F != S.FacesByFile.end()) {
            Face = F->second.get();
        } else {
            FT_Face Ft = nullptr;
            if (FT_New_Face(S.Library, Match.File.c_str(), Match.Index, &Ft) == 0) {
                // Styles the face does not have itself are synthesised when glyphs are
                // rendered; fontconfig's own synthesis flags are not used.
                auto Owned = std::make_unique<TFontFace>(Ft, Ft->style_flags & FT_STYLE_FLAG_BOLD,
                                                         Ft->style_flags & FT_STYLE_FLAG_ITALIC);
                Face = Owned.get();
                S.FacesByFile.emplace(FileKey, std::move(Owned));
            }
        }
    }
    S.FacesByRequest.emplace(Key, Face);
    return Face;
}

} // namespace

// [SECTION] Sized instances and their glyphs --------------------------------------------

int PointsToPixels(int Points) {
    // Rounded like the platform's MulDiv(points, 96, 72).
    int64_t V = int64_t(Points) * 96;
    return int(V >= 0 ? (V + 36) / 72 : (V - 36) / 72);
}

TFontInstance::TFontInstance(TFontFace& Face, int PixelSize, bool Bold, bool Italic)
    : Face_(Face), PixelSize_(PixelSize), Bold_(Bold && !Face.RealBold()),
      Italic_(Italic && !Face.RealItalic()) {
    FT_Face F = Face.Face();
    FT_Size Size = nullptr;
    if (F && FT_New_Size(F, &Size) == 0) {
        Size_ = Size;
        FT_Activate_Size(Size);
        FT_Set_Pixel_Sizes(F, 0, FT_UInt(PixelSize));
        Ascent_ = int(Size->metrics.ascender >> 6);
        Height_ = std::max(1, int((Size->metrics.ascender - Size->metrics.descender) >> 6));
    }
    HasKerning_ = F && FT_HAS_KERNING(F);
}

TFontInstance::~TFontInstance() {
    if (Size_) FT_Done_Size(static_cast<FT_Size>(Size_));
}

const TGlyph& TFontInstance::LoadGlyph(uint32_t CodePoint) {
    if (CodePoint >= 0x10000) {
        for (const auto& [Code, Slot] : Other_)
            if (Code == CodePoint) return Glyphs_[size_t(Slot)];
    }
    TGlyph G;
    FT_Face F = Face_.Face();
    if (Size_) {
        FT_Activate_Size(static_cast<FT_Size>(Size_));
        G.Index = FT_Get_Char_Index(F, CodePoint);
        // Monochrome rendering with the hinter's monochrome target: every pixel is on or
        // off, so the colour plane and the (binary) mask agree, and thin strokes survive
        // through the rasteriser's dropout control.
        if (FT_Load_Glyph(F, G.Index, FT_LOAD_TARGET_MONO | FT_LOAD_NO_BITMAP) == 0) {
            FT_GlyphSlot Slot = F->glyph;
            if (Bold_) FT_GlyphSlot_Embolden(Slot);
            if (Italic_) FT_GlyphSlot_Oblique(Slot);
            G.Advance = int32_t((Slot->advance.x + 32) >> 6);
            if (FT_Render_Glyph(Slot, FT_RENDER_MODE_MONO) == 0) {
                const FT_Bitmap& B = Slot->bitmap;
                G.Left = int16_t(Slot->bitmap_left);
                G.Top = int16_t(Slot->bitmap_top);
                G.Width = uint16_t(B.width);
                G.Rows = uint16_t(B.rows);
                G.Offset = uint32_t(Bitmaps_.size());
                Bitmaps_.resize(Bitmaps_.size() + size_t(B.width) * B.rows);
                uint8_t* Out = Bitmaps_.data() + G.Offset;
                for (unsigned Y = 0; Y < B.rows; ++Y) {
                    const uint8_t* Row = B.buffer + ptrdiff_t(Y) * B.pitch;
                    for (unsigned X = 0; X < B.width; ++X)
                        *Out++ = (Row[X >> 3] >> (7 - (X & 7))) & 1;
                }
            }
        }
    }
    int32_t Slot = int32_t(Glyphs_.size());
    Glyphs_.push_back(G);
    if (CodePoint < 0x10000) {
        auto& P = Pages_[CodePoint >> 8];
        if (!P) {
            P = std::make_unique<Page>();
            P->fill(-1);
        }
        (*P)[CodePoint & 0xFF] = Slot;
    } else {
        Other_.emplace_back(CodePoint, Slot);
    }
    return Glyphs_.back();
}

int TFontInstance::Kerning(uint32_t Left, uint32_t Right) {
    if (!HasKerning_ || !Size_ || !Left || !Right) return 0;
    FT_Activate_Size(static_cast<FT_Size>(Size_));
    FT_Vector K{};
    if (FT_Get_Kerning(Face_.Face(), Left, Right, FT_KERNING_DEFAULT, &K) != 0) return 0;
    return int(K.x >> 6);
}

TFontInstance& FindFontInstance(const TFont& Font) {
    TFontSystem& S = System();
    // Sizes beyond what a window can show are clamped; nothing is drawn at size 0.
    int Pixels = std::clamp(PointsToPixels(Font.Size < 0 ? -Font.Size : Font.Size), 1, 2000);
    std::string Key = Font.Name + '#' + std::to_string(Pixels) + '#' + char('0' + Font.Bold) +
                      char('0' + Font.Italic);
    auto It = S.Instances.find(Key);
    if (It != S.Instances.end()) return *It->second;
    TFontFace* Face = FindFace(Font.Name, Font.Bold, Font.Italic);
    if (!Face) Face = FindFace(std::string(), Font.Bold, Font.Italic);
    if (!Face) {
        // No face at all (no fonts installed): an instance without a size measures every
        // character as 0 wide and draws nothing, rather than failing the player.
        static FT_Face Null = nullptr;
        static TFontFace Empty(Null, false, false);
        auto Owned = std::make_unique<TFontInstance>(Empty, Pixels, false, false);
        return *S.Instances.emplace(Key, std::move(Owned)).first->second;
    }
    auto Owned = std::make_unique<TFontInstance>(*Face, Pixels, Font.Bold, Font.Italic);
    return *S.Instances.emplace(Key, std::move(Owned)).first->second;
}

bool FontExists(std::string_view SjisName) {
    TMatch Match;
    return MatchFamily(InstalledFamily(SjisToUtf8(SjisName)), false, false, Match) &&
           Match.FamilyMatched;
}

void ClearFontCache() { System().Instances.clear(); }

// [SECTION] Measuring and drawing ------------------------------------------------------

int MeasureText(TFontInstance& Font, std::string_view Sjis) {
    int Width = 0;
    uint32_t Previous = 0;
    for (size_t Pos = 0; Pos < Sjis.size();) {
        size_t Len = SjisCharLength(Sjis, Pos);
        const TGlyph& G = Font.Glyph(SjisCharToUnicode(Sjis, Pos, Len));
        if (Font.HasKerning()) Width += Font.Kerning(Previous, G.Index);
        Width += G.Advance;
        Previous = G.Index;
        Pos += Len;
    }
    return Width;
}

void DrawTextGlyphs(TFontInstance& Font, std::string_view Sjis, int X, int BaselineY,
                    TPlaneView<uint32_t>* Colour, uint32_t ColourWord,
                    TPlaneView<uint8_t>* Mask, uint8_t MaskByte) {
    int Pen = X;
    uint32_t Previous = 0;
    for (size_t Pos = 0; Pos < Sjis.size();) {
        size_t Len = SjisCharLength(Sjis, Pos);
        const TGlyph& G = Font.Glyph(SjisCharToUnicode(Sjis, Pos, Len));
        if (Font.HasKerning()) Pen += Font.Kerning(Previous, G.Index);
        Previous = G.Index;
        Pos += Len;
        int Left = Pen + G.Left, Top = BaselineY - G.Top;
        Pen += G.Advance;
        const uint8_t* Bits = Font.Bits(G);
        auto Plot = [&](auto* Plane, auto Value) {
            if (!Plane) return;
            int X0 = std::max(Left, 0), X1 = std::min(Left + int(G.Width), Plane->Width);
            int Y0 = std::max(Top, 0), Y1 = std::min(Top + int(G.Rows), Plane->Height);
            for (int Y = Y0; Y < Y1; ++Y) {
                const uint8_t* Src = Bits + size_t(Y - Top) * G.Width + (X0 - Left);
                auto* Dst = Plane->Pixels + Y * Plane->Pitch;
                for (int Px = X0; Px < X1; ++Px)
                    if (*Src++) Dst[Px] = Value;
            }
        };
        Plot(Colour, ColourWord);
        Plot(Mask, MaskByte);
    }
}

} // namespace narvo

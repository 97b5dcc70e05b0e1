#include "graphics/las_grf.h"

#include "graphics/las_grf_pixels.h"
#include "graphics/png_io.h"
#include "platform/platform.h"
#include "system/icm_sub.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>

namespace narvo {

// [SECTION] Colour notation ------------------------------------------------------------

namespace {

struct TNamedColour {
    const char* Name;
    uint32_t Value;
};

constexpr TNamedColour NamedColours[] = {
    {"clBlack", 0x000000},   {"clMaroon", 0x000080}, {"clGreen", 0x008000},
    {"clOlive", 0x008080},   {"clNavy", 0x800000},   {"clPurple", 0x800080},
    {"clTeal", 0x808000},    {"clGray", 0x808080},   {"clSilver", 0xC0C0C0},
    {"clRed", 0x0000FF},     {"clLime", 0x00FF00},   {"clYellow", 0x00FFFF},
    {"clBlue", 0xFF0000},    {"clFuchsia", 0xFF00FF}, {"clAqua", 0xFFFF00},
    {"clWhite", 0xFFFFFF},   {"clNone", clNone},
};

constexpr uint32_t SystemColourBase = 0x80000000;

// The desktop's system colours in their platform order, with the colours of a classic
// grey desktop scheme (0x00BBGGRR) standing in for the reader's current ones.
constexpr TNamedColour SystemColours[] = {
    {"clScrollBar", 0xC8D0D4},        {"clBackground", 0xA56E3A},
    {"clActiveCaption", 0x6A240A},    {"clInactiveCaption", 0x808080},
    {"clMenu", 0xC8D0D4},             {"clWindow", 0xFFFFFF},
    {"clWindowFrame", 0x000000},      {"clMenuText", 0x000000},
    {"clWindowText", 0x000000},       {"clCaptionText", 0xFFFFFF},
    {"clActiveBorder", 0xC8D0D4},     {"clInactiveBorder", 0xC8D0D4},
    {"clAppWorkSpace", 0x808080},     {"clHighlight", 0x6A240A},
    {"clHighlightText", 0xFFFFFF},    {"clBtnFace", 0xC8D0D4},
    {"clBtnShadow", 0x808080},        {"clGrayText", 0x808080},
    {"clBtnText", 0x000000},          {"clInactiveCaptionText", 0xC8D0D4},
    {"clBtnHighlight", 0xFFFFFF},     {"cl3DDkShadow", 0x404040},
    {"cl3DLight", 0xC8D0D4},          {"clInfoText", 0x000000},
    {"clInfoBk", 0xE1FFFF},
};
constexpr uint32_t SystemColourCount = sizeof SystemColours / sizeof SystemColours[0];

int HexDigit(char C) {
    if (C >= '0' && C <= '9') return C - '0';
    if (C >= 'a' && C <= 'f') return C - 'a' + 10;
    if (C >= 'A' && C <= 'F') return C - 'A' + 10;
    return -1;
}

// 0x00RRGGBB from 0x00BBGGRR.
constexpr uint32_t SwapRedBlue(uint32_t C) {
    return ((C & 0xFF) << 16) | (C & 0xFF00) | ((C >> 16) & 0xFF);
}

} // namespace

std::string ColourToText(uint32_t Colour) {
    for (const auto& C : NamedColours)
        if (C.Value == Colour) return C.Name;
    if (Colour >= SystemColourBase && Colour < SystemColourBase + SystemColourCount)
        return SystemColours[Colour - SystemColourBase].Name;
    char Buffer[16];
    std::snprintf(Buffer, sizeof Buffer, "0x%08X", unsigned(Colour));
    return Buffer;
}

std::optional<uint32_t> TextToColour(std::string_view Text) {
    for (const auto& C : NamedColours)
        if (SameTextAscii(Text, C.Name)) return C.Value;
    for (uint32_t I = 0; I < SystemColourCount; ++I)
        if (SameTextAscii(Text, SystemColours[I].Name)) return SystemColourBase + I;
    if (Text.size() > 2 && Text[0] == '0' && (Text[1] == 'x' || Text[1] == 'X')) {
        if (Text.size() > 10) return std::nullopt;
        uint32_t Value = 0;
        for (size_t I = 2; I < Text.size(); ++I) {
            int D = HexDigit(Text[I]);
            if (D < 0) return std::nullopt;
            Value = Value << 4 | uint32_t(D);
        }
        return Value;
    }
    if (Text.empty()) return std::nullopt;
    uint64_t Value = 0;
    for (char C : Text) {
        if (C < '0' || C > '9') return std::nullopt;
        Value = Value * 10 + uint64_t(C - '0');
        if (Value > 0xFFFFFFFFu) return std::nullopt;
    }
    return uint32_t(Value);
}

uint32_t ColourToPixel(uint32_t Colour) {
    if (Colour >= SystemColourBase && Colour < SystemColourBase + SystemColourCount)
        Colour = SystemColours[Colour - SystemColourBase].Value;
    return SwapRedBlue(Colour & 0xFFFFFF);
}

// [SECTION] Construction and planes ----------------------------------------------------

TLasGraphic::TLasGraphic() {
    ResetEvents();
    SetSize(10, 10);
}

TLasGraphic::~TLasGraphic() = default;

void TLasGraphic::SetSize(int W, int H) {
    W = std::max(W, 0);
    H = std::max(H, 0);
    ColourPlane.reset();
    MaskPlane.reset();
    ColourPlane = std::make_unique<TPicture>(W, H, 0x00FFFFFF);
    if (AlphaMode != amOpaque) MaskPlane = std::make_unique<TMaskPlane>(W, H, 0);
}

void TLasGraphic::SetAlphaMode(TAlphaMode Mode) {
    if (Mode == amOpaque)
        MaskPlane.reset();
    else if (AlphaMode == amOpaque)
        MaskPlane = std::make_unique<TMaskPlane>(Width(), Height(), 255);
    AlphaMode = Mode;
}

void TLasGraphic::Assign(const TLasGraphic& Source) {
    if (&Source == this) return;
    SetAlphaMode(Source.AlphaMode);
    SetSize(Source.Width(), Source.Height());
    if (Source.ColourPlane) ColourPlane->Pixels = Source.ColourPlane->Pixels;
    if (AlphaMode != amOpaque && Source.MaskPlane) MaskPlane->Bytes = Source.MaskPlane->Bytes;
}

void TLasGraphic::AssignGraphic(const TPicture& Picture) {
    SetAlphaMode(amOpaque);
    SetSize(Picture.Width, Picture.Height);
    // Drawing through a canvas leaves bits 24 to 31 clear.
    const uint32_t* Src = Picture.Pixels.data();
    uint32_t* Dst = ColourPlane->Pixels.data();
    for (size_t I = 0, N = ColourPlane->Pixels.size(); I < N; ++I) Dst[I] = Src[I] & 0x00FFFFFF;
}

// [SECTION] PNG --------------------------------------------------------------------------

namespace {

bool HasPngExtension(const std::string& Path) {
    size_t Dot = Path.rfind('.');
    size_t Slash = Path.find_last_of("/\\");
    if (Dot == std::string::npos || (Slash != std::string::npos && Dot < Slash)) return false;
    return SameTextAscii(std::string_view(Path).substr(Dot), ".png");
}

} // namespace

bool TLasGraphic::LoadPngStream(const std::function<size_t(void*, size_t)>& Read) {
    // Decoding into a picture of our own keeps the surface as it was when the stream
    // turns out damaged half-way, rather than leaving a resized, half-decoded surface.
    TPngImage Image;
    if (!DecodePng(Read, Image)) return false;
    TAlphaMode Mode = Image.Transparency ? amMask : Image.AlphaChannel ? amAlpha : amOpaque;
    // With both a tRNS chunk and an alpha channel (not allowed by the format, but seen)
    // the channel's weights are kept.
    if (Image.Transparency && Image.AlphaChannel) Mode = amAlpha;
    MaskPlane.reset();
    AlphaMode = Mode;
    ColourPlane = std::make_unique<TPicture>(std::move(Image.Pixels));
    if (Mode != amOpaque) {
        MaskPlane = std::make_unique<TMaskPlane>(ColourPlane->Width, ColourPlane->Height, 0);
        const uint32_t* Src = ColourPlane->Pixels.data();
        uint8_t* Dst = MaskPlane->Bytes.data();
        for (size_t I = 0, N = MaskPlane->Bytes.size(); I < N; ++I) Dst[I] = uint8_t(Src[I] >> 24);
    }
    return true;
}

bool TLasGraphic::LoadPngFile(const std::string& Path) {
    if (!HasPngExtension(Path)) return false;
    FILE* File = std::fopen(Path.c_str(), "rb");
    if (!File) return false;
    bool Ok = LoadPngStream([File](void* Buffer, size_t Size) { return std::fread(Buffer, 1, Size, File); });
    std::fclose(File);
    return Ok;
}

bool TLasGraphic::LoadPngBytes(const void* Data, size_t Size) {
    const auto* Bytes = static_cast<const uint8_t*>(Data);
    size_t Pos = 0;
    return LoadPngStream([&](void* Buffer, size_t Want) {
        size_t N = std::min(Want, Size - Pos);
        if (N) std::memcpy(Buffer, Bytes + Pos, N);
        Pos += N;
        return N;
    });
}

// [SECTION] Copies and blends ----------------------------------------------------------

namespace {

struct TClip {
    int X0, Y0, W, H;
};

// The destination rectangle and its size after clipping to both surfaces; the source
// origin does not move when the destination's left or top is raised to 0. A rectangle
// that clips away entirely (even one lying wholly left of or above the destination)
// copies nothing.
std::optional<TClip> ClipCopy(int DestW, int DestH, int SrcW, int SrcH, int Dx, int Dy, int W,
                              int H, int Sx, int Sy) {
    if (Sx < 0 || Sy < 0) return std::nullopt;
    int64_t X0 = std::max(Dx, 0), Y0 = std::max(Dy, 0);
    int64_t X1 = std::min<int64_t>(int64_t(Dx) + W - 1, DestW - 1);
    int64_t Y1 = std::min<int64_t>(int64_t(Dy) + H - 1, DestH - 1);
    int64_t CW = std::min<int64_t>(X1 - X0 + 1, int64_t(SrcW) - Sx);
    int64_t CH = std::min<int64_t>(Y1 - Y0 + 1, int64_t(SrcH) - Sy);
    if (CW <= 0 || CH <= 0) return std::nullopt;
    return TClip{int(X0), int(Y0), int(CW), int(CH)};
}

} // namespace

void TLasGraphic::DrawTo(TLasGraphic& Dest, int Dx, int Dy, int W, int H, int Sx, int Sy) const {
    if (!ColourPlane || !Dest.ColourPlane) return;
    auto Clip = ClipCopy(Dest.Width(), Dest.Height(), Width(), Height(), Dx, Dy, W, H, Sx, Sy);
    if (!Clip) return;
    TPicture& D = *Dest.ColourPlane;
    const TPicture& S = *ColourPlane;
    const auto& K = pixels::Kernels();
    for (int I = 0; I < Clip->H; ++I) {
        uint32_t* DRow = D.Row(Clip->Y0 + I) + Clip->X0;
        const uint32_t* SRow = S.Row(Sy + I) + Sx;
        switch (AlphaMode) {
        case amOpaque:
            std::memmove(DRow, SRow, size_t(Clip->W) * 4);
            break;
        case amMask:
            K.MaskRow(DRow, SRow, MaskPlane->Row(Sy + I) + Sx, Clip->W);
            break;
        case amAlpha:
            K.AlphaRow(DRow, SRow, MaskPlane->Row(Sy + I) + Sx, Clip->W);
            break;
        }
    }
    if (!Dest.MaskPlane) return;
    for (int I = 0; I < Clip->H; ++I) {
        uint8_t* DRow = Dest.MaskPlane->Row(Clip->Y0 + I) + Clip->X0;
        if (MaskPlane) {
            const uint8_t* SRow = MaskPlane->Row(Sy + I) + Sx;
            for (int J = 0; J < Clip->W; ++J) DRow[J] |= SRow[J];
        } else {
            std::memset(DRow, 255, size_t(Clip->W));
        }
    }
}

void TLasGraphic::BlendTo(TLasGraphic& Dest, int Dx, int Dy, int W, int H, int Sx, int Sy,
                          uint8_t Alpha) const {
    if (AlphaMode != amOpaque || !ColourPlane || !Dest.ColourPlane) return;
    auto Clip = ClipCopy(Dest.Width(), Dest.Height(), Width(), Height(), Dx, Dy, W, H, Sx, Sy);
    if (!Clip) return;
    const auto& K = pixels::Kernels();
    for (int I = 0; I < Clip->H; ++I)
        K.BlendRow(Dest.ColourPlane->Row(Clip->Y0 + I) + Clip->X0, ColourPlane->Row(Sy + I) + Sx,
                   Alpha, Clip->W);
}

void TLasGraphic::FillRect(int X, int Y, int W, int H, uint32_t Colour) {
    if (!ColourPlane) return;
    int64_t L = std::max(X, 0), T = std::max(Y, 0);
    int64_t R = std::min<int64_t>(int64_t(X) + W, Width());
    int64_t B = std::min<int64_t>(int64_t(Y) + H, Height());
    if (L >= R || T >= B) return;
    uint32_t Word = ColourToPixel(Colour);
    for (int64_t Row = T; Row < B; ++Row) {
        std::fill_n(ColourPlane->Row(int(Row)) + L, size_t(R - L), Word);
        if (MaskPlane) std::memset(MaskPlane->Row(int(Row)) + L, 255, size_t(R - L));
    }
}

uint32_t TLasGraphic::GetPixel(int X, int Y) const {
    // Outside the picture the canvas answers its "invalid colour".
    if (X < 0 || Y < 0 || X >= Width() || Y >= Height()) return 0xFFFFFFFF;
    return SwapRedBlue(ColourPlane->At(X, Y) & 0xFFFFFF);
}

bool TLasGraphic::HitTest(int X, int Y) const {
    if (X < 0 || Y < 0 || X >= Width() || Y >= Height()) return false;
    if (AlphaMode == amOpaque) return true;
    return MaskPlane->Row(Y)[X] > 15;
}

void TLasGraphic::ApplyColourKey() {
    if (AlphaMode == amOpaque) SetAlphaMode(amMask);
    if (Width() == 0 || Height() == 0) return;
    uint32_t Key = ColourPlane->Row(Height() - 1)[0] & 0xFFFFFF;
    const uint32_t* Src = ColourPlane->Pixels.data();
    uint8_t* Mask = MaskPlane->Bytes.data();
    for (size_t I = 0, N = MaskPlane->Bytes.size(); I < N; ++I)
        if ((Src[I] & 0xFFFFFF) == Key) Mask[I] = 0;
}

void TLasGraphic::MakeHalfTranslucent() {
    SetAlphaMode(amAlpha);
    for (uint8_t& M : MaskPlane->Bytes) M = std::min<uint8_t>(M, 128);
}

void TLasGraphic::ClearTransparent() {
    if (AlphaMode == amOpaque) SetAlphaMode(amMask);
    std::fill(MaskPlane->Bytes.begin(), MaskPlane->Bytes.end(), 0);
}

// [SECTION] Painting onto the window ---------------------------------------------------

void TLasGraphic::PaintTo(TPicture& Canvas, int X, int Y) const {
    if (!ColourPlane) return;
    int L = std::max(X, 0), T = std::max(Y, 0);
    int R = int(std::min<int64_t>(int64_t(X) + Width(), Canvas.Width));
    int B = int(std::min<int64_t>(int64_t(Y) + Height(), Canvas.Height));
    for (int Row = T; Row < B; ++Row) {
        const uint32_t* Src = ColourPlane->Row(Row - Y) + (L - X);
        uint32_t* Dst = Canvas.Row(Row) + L;
        for (int I = 0; I < R - L; ++I) Dst[I] = Src[I] & 0x00FFFFFF;
    }
}

void TLasGraphic::PaintTo(IWindow& Window, int X, int Y) const { PaintTo(Window.BackBuffer(), X, Y); }

void TLasGraphic::StretchPaintTo(TPicture& Canvas, int X, int Y, int W, int H) const {
    if (!ColourPlane || W <= 0 || H <= 0 || Width() == 0 || Height() == 0) return;
    int L = std::max(X, 0), T = std::max(Y, 0);
    int R = int(std::min<int64_t>(int64_t(X) + W, Canvas.Width));
    int B = int(std::min<int64_t>(int64_t(Y) + H, Canvas.Height));
    for (int Row = T; Row < B; ++Row) {
        int SrcY = int(int64_t(Row - Y) * Height() / H);
        const uint32_t* Src = ColourPlane->Row(SrcY);
        uint32_t* Dst = Canvas.Row(Row);
        for (int Col = L; Col < R; ++Col)
            Dst[Col] = Src[int64_t(Col - X) * Width() / W] & 0x00FFFFFF;
    }
}

void TLasGraphic::StretchPaintTo(IWindow& Window, int X, int Y, int W, int H) const {
    StretchPaintTo(Window.BackBuffer(), X, Y, W, H);
}

} // namespace narvo

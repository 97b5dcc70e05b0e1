// The player's off-screen picture: a 32-bit colour plane with an optional 8-bit mask
// plane, copied onto other surfaces by one of three alpha modes, blended, filled,
// keyed, decoded from PNG and painted onto the window. The same surface carries the
// text layout engine (las_text.cpp) that lays marked-up Shift-JIS text into its planes
// and records the queue of reveal events the screen control plays back.
#pragma once

#include "platform/fonts.h"
#include "platform/platform_types.h"

#include <array>
#include <cassert>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace narvo {

class IWindow;

enum TAlphaMode : uint8_t {
    amOpaque = 0, // no mask plane; every pixel is copied
    amMask = 1,   // a pixel is copied where its mask byte is not 0
    amAlpha = 3,  // a pixel is blended with weight mask/255 where its mask byte is not 0
};

// 8 bits per pixel, rows top-down; 0 transparent, 255 opaque.
struct TMaskPlane {
    int Width = 0;
    int Height = 0;
    std::vector<uint8_t> Bytes;

    TMaskPlane(int W, int H, uint8_t Fill)
        : Width(W), Height(H), Bytes(size_t(W) * size_t(H), Fill) {}
    uint8_t* Row(int Y) {
        assert(Y >= 0 && Y < Height);
        return Bytes.data() + size_t(Y) * size_t(Width);
    }
    const uint8_t* Row(int Y) const {
        assert(Y >= 0 && Y < Height);
        return Bytes.data() + size_t(Y) * size_t(Width);
    }
};

// --- Colour notation -------------------------------------------------------------------
// Colours from outside are 0x00BBGGRR (red in the low byte). Besides plain values there
// are `clNone` and the desktop's system colours (0x80000000 + index).

constexpr uint32_t clBlack = 0x000000;
constexpr uint32_t clWhite = 0xFFFFFF;
constexpr uint32_t clNone = 0x1FFFFFFF;

// The name of a colour when it has one, else "0x" and 8 upper-case hexadecimal digits.
std::string ColourToText(uint32_t Colour);
// A colour name (any letter case), "0x" and hexadecimal digits, or decimal digits.
std::optional<uint32_t> TextToColour(std::string_view Text);
// The pixel word (0x00RRGGBB) a colour is drawn with; system colours take the desktop's
// colour for that entry.
uint32_t ColourToPixel(uint32_t Colour);

// --- Text events -------------------------------------------------------------------------

enum TTextEventCode : int32_t {
    evEnd = 0,
    evLineTop = 1,
    evCellX = 2,
    evCellWidth = 3,
    evLineHeight = 4,
    evChar = 5,
    evSpeedNormal = 7,
    evSpeedFast = 8,
    evSpeedSlow = 9,
    evKeyMarkShow = 10,
    evKeyMarkHide = 11,
    evPageMarkShow = 12,
    evPageMarkHide = 13,
    evKeyWait = 14,
    evPageWait = 15,
    evWait = 16,
    evNextPage = 17,
};

// Lower-case name without the "ev" prefix ("char", "keymarkshow"), "?" for others.
const char* TextEventName(int32_t Code);

struct TTextEvent {
    int32_t Code = 0;
    int32_t Value = 0;
};

// What `NextTextEvent` answers: the event and the reveal cursor after it.
struct TTextEventRecord {
    int32_t Code = 0;
    int32_t Value = 0;
    int32_t CellX = 0;
    int32_t CellY = 0;
    int32_t CellHeight = 0;
    int32_t CellWidth = 0;
    int32_t CharWait = 0;
};

constexpr int MaxTextEvents = 4096;
constexpr int MaxTextLines = 300;

// --- The surface -------------------------------------------------------------------------

class TLasGraphic {
public:
    TLasGraphic();
    ~TLasGraphic();
    TLasGraphic(const TLasGraphic&) = delete;
    TLasGraphic& operator=(const TLasGraphic&) = delete;

    int Width() const { return ColourPlane ? ColourPlane->Width : 0; }
    int Height() const { return ColourPlane ? ColourPlane->Height : 0; }

    void SetSize(int W, int H);
    void SetAlphaMode(TAlphaMode Mode);
    void Assign(const TLasGraphic& Source);
    void AssignGraphic(const TPicture& Picture);

    // Decoding answers false, with the surface unchanged, on a wrong extension, an
    // unreadable file or any damage in the stream.
    bool LoadPngFile(const std::string& Path);
    // A PNG held in memory (container entries are read into memory by their reader).
    bool LoadPngBytes(const void* Data, size_t Size);
    // A PNG read through a callback that fills the buffer and answers the bytes read.
    bool LoadPngStream(const std::function<size_t(void* Buffer, size_t Size)>& Read);

    void DrawTo(TLasGraphic& Dest, int Dx, int Dy, int W, int H, int Sx, int Sy) const;
    void BlendTo(TLasGraphic& Dest, int Dx, int Dy, int W, int H, int Sx, int Sy,
                 uint8_t Alpha) const;
    void FillRect(int X, int Y, int W, int H, uint32_t Colour);
    uint32_t GetPixel(int X, int Y) const;
    bool HitTest(int X, int Y) const;
    void ApplyColourKey();
    void MakeHalfTranslucent();
    void ClearTransparent();

    // Onto a window's back buffer (0x00RRGGBB); the caller presents.
    void PaintTo(TPicture& Canvas, int X, int Y) const;
    void PaintTo(IWindow& Window, int X, int Y) const;
    void StretchPaintTo(TPicture& Canvas, int X, int Y, int W, int H) const;
    void StretchPaintTo(IWindow& Window, int X, int Y, int W, int H) const;

    // Text layout engine (las_text.cpp).
    int LayoutText();
    int LayoutTextFit(int W, int HeightLimit);
    TTextEventRecord NextTextEvent();

    // The planes, for the player's own pixel work. The mask plane exists exactly when
    // `AlphaMode` is not `amOpaque`.
    std::unique_ptr<TPicture> ColourPlane;
    std::unique_ptr<TMaskPlane> MaskPlane;
    TAlphaMode AlphaMode = amOpaque;
    TFont Font;

    std::string Text;
    std::string OriginalText;
    std::array<TTextEvent, MaxTextEvents> Events{};
    int32_t CellX = 0;
    int32_t CellY = 0;
    int32_t CellHeight = 0;
    int32_t CellWidth = 0;
    int32_t CharWait = 60;
    int32_t EventCount = 0;
    int32_t EventCursor = 0;
    int32_t TagFontSize = 10;
    uint32_t TagFontColour = 0;
    uint8_t TagBold = 0;
    uint8_t TagItalic = 0;

private:
    struct TLineState;
    void ResetEvents();
    void PushEvent(int32_t Code, int32_t Value);
    void ResetStyle(TFont& CanvasFont);
    int LayoutCore(int W, int HeightLimit, bool Fit);
    int LayoutLine(const std::string& Source, size_t& Pos, int MaxWidth, int Bottom,
                   bool Draw, TFont& CanvasFont);
    void ApplyTag(std::string_view Body, bool Draw, TFont& CanvasFont);
    void DrawRun(std::string_view Run, int X, int Bottom, int RunWidth, TFontInstance& Inst,
                 const TFont& CanvasFont);
};

// --- Pixel kernels -----------------------------------------------------------------------
// Exposed so tests can check that every vector path gives the same bytes as the scalar
// one; the surface itself always uses the widest path the processor has.

enum class TPixelPath { Scalar, Sse2, Avx2 };
// The paths this processor can run, scalar first.
std::vector<TPixelPath> AvailablePixelPaths();
// Forces a path for the following calls (tests, benchmarks); `std::nullopt` restores the
// automatic choice.
void ForcePixelPath(std::optional<TPixelPath> Path);
const char* PixelPathName(TPixelPath Path);

} // namespace narvo

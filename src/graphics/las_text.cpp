// The text layout engine of the graphic surface: markup, the measuring and drawing
// passes, pages and the queue of reveal events.
//
// Widths are measured incrementally: a run's width after adding a character is its
// width before plus the character's kerning with the previous one and its advance,
// which is exactly what measuring the whole run as one string gives, without the cost
// that grows with the square of the run's length.
#include "graphics/las_grf.h"

#include "system/icm_sub.h"

#include <algorithm>

namespace narvo {

namespace {

// N of a size or wait tag: the body's second and third characters as an integer, 0 when
// they are not one.
int TagNumber(std::string_view Body) { return TextToInt(Body.substr(1, 2), 0); }

} // namespace

const char* TextEventName(int32_t Code) {
    switch (Code) {
    case evEnd: return "end";
    case evLineTop: return "linetop";
    case evCellX: return "cellx";
    case evCellWidth: return "cellwidth";
    case evLineHeight: return "lineheight";
    case evChar: return "char";
    case evSpeedNormal: return "speednormal";
    case evSpeedFast: return "speedfast";
    case evSpeedSlow: return "speedslow";
    case evKeyMarkShow: return "keymarkshow";
    case evKeyMarkHide: return "keymarkhide";
    case evPageMarkShow: return "pagemarkshow";
    case evPageMarkHide: return "pagemarkhide";
    case evKeyWait: return "keywait";
    case evPageWait: return "pagewait";
    case evWait: return "wait";
    case evNextPage: return "nextpage";
    }
    return "?";
}

void TLasGraphic::ResetEvents() {
    EventCount = 0;
    EventCursor = 0;
    CellX = CellY = CellHeight = CellWidth = 0;
    CharWait = 60;
}

void TLasGraphic::PushEvent(int32_t Code, int32_t Value) {
    if (EventCount >= MaxTextEvents) return;
    Events[size_t(EventCount)] = {Code, Value};
    ++EventCount;
}

void TLasGraphic::ResetStyle(TFont& CanvasFont) {
    TagFontSize = Font.Size;
    TagBold = 0;
    TagItalic = 0;
    CanvasFont = Font;
}

void TLasGraphic::DrawRun(std::string_view Run, int X, int Bottom, int RunWidth,
                          TFontInstance& Inst, const TFont& CanvasFont) {
    int Top = Bottom - Inst.Height();
    // The cell is filled white on the colour plane only; the mask takes the glyphs alone.
    int L = std::max(X, 0), T = std::max(Top, 0);
    int R = std::min(X + RunWidth, Width()), B = std::min(Bottom, Height());
    for (int Y = T; Y < B; ++Y) std::fill(ColourPlane->Row(Y) + L, ColourPlane->Row(Y) + std::max(L, R), 0x00FFFFFFu);
    TPlaneView<uint32_t> Colour{ColourPlane->Pixels.data(), ColourPlane->Width, ColourPlane->Height,
                                ColourPlane->Width};
    TPlaneView<uint8_t> Mask;
    if (MaskPlane) Mask = {MaskPlane->Bytes.data(), MaskPlane->Width, MaskPlane->Height, MaskPlane->Width};
    DrawTextGlyphs(Inst, Run, X, Top + Inst.Ascent(), &Colour, ColourToPixel(CanvasFont.Colour),
                   MaskPlane ? &Mask : nullptr, 255);
}

// Lays out one line of `Source` from `Pos` (moved past what the line consumes) and
// answers its height. With `Draw` the runs are drawn sharing the bottom line `Bottom`
// and the reveal events are pushed.
int TLasGraphic::LayoutLine(const std::string& Source, size_t& Pos, int MaxWidth, int Bottom,
                            bool Draw, TFont& CanvasFont) {
    TFontInstance* Inst = &FindFontInstance(CanvasFont);
    int X = 0;
    int LineHeight = 1;
    size_t RunStart = Pos;
    int RunWidth = 0;
    uint32_t Previous = 0;
    bool PlacedAny = false;

    auto CloseRun = [&] {
        LineHeight = std::max(LineHeight, Inst->Height());
        if (Draw && Pos > RunStart)
            DrawRun(std::string_view(Source).substr(RunStart, Pos - RunStart), X, Bottom, RunWidth,
                    *Inst, CanvasFont);
        X += RunWidth;
        RunWidth = 0;
        Previous = 0;
    };

    for (;;) {
        if (Pos >= Source.size()) {
            CloseRun();
            if (Draw) PushEvent(evChar, X);
            return LineHeight;
        }
        char C = Source[Pos];
        size_t Len = SjisCharLength(Source, Pos);
        if (Len == 1 && C == '#') {
            CloseRun();
            ++Pos;
            if (Draw) PushEvent(evChar, X);
            return LineHeight;
        }
        if (Len == 1 && C == '<') {
            CloseRun();
            size_t Close = SjisFind(Source, '>', Pos + 2);
            std::string_view Body;
            if (Close == std::string::npos) {
                Pos += 1 + (Pos + 1 < Source.size() ? SjisCharLength(Source, Pos + 1) : 0);
            } else {
                Body = std::string_view(Source).substr(Pos + 1, Close - Pos - 1);
                Pos = Close + 1;
            }
            if (!Body.empty()) ApplyTag(Body, Draw, CanvasFont);
            Inst = &FindFontInstance(CanvasFont);
            RunStart = Pos;
            continue;
        }
        const TGlyph& G = Inst->Glyph(SjisCharToUnicode(Source, Pos, Len));
        int Width = RunWidth + G.Advance;
        if (Inst->HasKerning() && Previous) Width += Inst->Kerning(Previous, G.Index);
        // A character that does not fit starts the next line, unless it is the line's
        // first: a line always takes at least one character, so every page makes progress.
        if (X + Width > MaxWidth && PlacedAny) {
            int Edge = X + Width;
            CloseRun();
            if (Draw) PushEvent(evChar, Edge);
            return LineHeight;
        }
        RunWidth = Width;
        Previous = G.Index;
        Pos += Len;
        PlacedAny = true;
        if (Draw) PushEvent(evChar, X + RunWidth);
    }
}

void TLasGraphic::ApplyTag(std::string_view Body, bool Draw, TFont& CanvasFont) {
    switch (Body[0]) {
    case '+':
        TagFontSize += TagNumber(Body);
        CanvasFont.Size += TagNumber(Body);
        return;
    case '-':
        TagFontSize -= TagNumber(Body);
        CanvasFont.Size -= TagNumber(Body);
        return;
    case '*':
        TagFontSize = TagNumber(Body);
        CanvasFont.Size = TagNumber(Body);
        return;
    }
    if (Body == "B") {
        TagBold = 1;
        CanvasFont.Bold = true;
        CanvasFont.Italic = TagItalic;
    } else if (Body == "I") {
        TagItalic = 1;
        CanvasFont.Italic = true;
        CanvasFont.Bold = TagBold;
    } else if (Body == "N") {
        TagBold = TagItalic = 0;
        CanvasFont.Bold = CanvasFont.Italic = false;
    } else if (Body == "FAST") {
        if (Draw) PushEvent(evSpeedFast, 0);
    } else if (Body == "NORMAL") {
        if (Draw) PushEvent(evSpeedNormal, 0);
    } else if (Body == "SLOW") {
        if (Draw) PushEvent(evSpeedSlow, 0);
    } else if (Body == "KEY") {
        if (Draw) {
            PushEvent(evKeyMarkShow, 0);
            PushEvent(evKeyWait, 0);
            PushEvent(evKeyMarkHide, 0);
        }
    } else if (Body[0] == 'W') {
        if (Draw) PushEvent(evWait, TagNumber(Body) * 100);
    } else if (Body.substr(0, 2) == "cl" || Body.substr(0, 2) == "0x") {
        // A body that is no colour leaves the colour as it was.
        if (auto Colour = TextToColour(Body)) {
            CanvasFont.Colour = *Colour;
            if (Draw) TagFontColour = *Colour;
        }
    }
}

int TLasGraphic::LayoutCore(int W, int HeightLimit, bool Fit) {
    SetAlphaMode(amMask);
    OriginalText = Text;
    if (!Fit) {
        W = Width();
        HeightLimit = Height();
        std::fill(ColourPlane->Pixels.begin(), ColourPlane->Pixels.end(), 0x00FFFFFFu);
        std::fill(MaskPlane->Bytes.begin(), MaskPlane->Bytes.end(), 0);
    }

    // Measuring pass over a copy. The first line is always kept, even when it is taller
    // than the limit, so that a page never comes out empty with text left over.
    TFont CanvasFont;
    ResetStyle(CanvasFont);
    std::array<int, MaxTextLines> Bottoms;
    int Lines = 0;
    int Total = 0;
    {
        const std::string& Copy = OriginalText;
        size_t Pos = 0;
        while (Lines < MaxTextLines) {
            int H = LayoutLine(Copy, Pos, W, 0, false, CanvasFont);
            if (HeightLimit > 0 && Total + H > HeightLimit && Lines > 0) break;
            Total += H;
            Bottoms[size_t(Lines++)] = Total;
            if (Pos >= Copy.size()) break;
        }
    }
    if (Fit) SetSize(W, Total);

    ResetStyle(CanvasFont);
    ResetEvents();
    PushEvent(evSpeedNormal, 0);
    size_t Pos = 0;
    for (int I = 0; I < Lines; ++I) {
        int Top = I ? Bottoms[size_t(I - 1)] : 0;
        PushEvent(evCellX, 0);
        PushEvent(evCellWidth, 0);
        PushEvent(evLineTop, Top);
        PushEvent(evLineHeight, Bottoms[size_t(I)] - Top);
        LayoutLine(Text, Pos, W, Bottoms[size_t(I)], true, CanvasFont);
    }
    Text.erase(0, Pos);

    if (!Text.empty()) {
        PushEvent(evPageMarkShow, 0);
        PushEvent(evPageWait, 0);
        PushEvent(evPageMarkHide, 0);
        PushEvent(evNextPage, HeightLimit);
        // The next page starts in the style in force here. The colour is the one the
        // text was drawn in, which is the last colour tag's or else the base font's.
        std::string Prefix = "<*" + std::to_string(TagFontSize) + "><" +
                             ColourToText(CanvasFont.Colour) + ">";
        if (TagBold) Prefix += "<B>";
        if (TagItalic) Prefix += "<I>";
        Text.insert(0, Prefix);
    }
    PushEvent(evEnd, 0);

    for (uint8_t& M : MaskPlane->Bytes)
        if (M) M = 255;
    return Total;
}

int TLasGraphic::LayoutText() { return LayoutCore(0, 0, false); }

int TLasGraphic::LayoutTextFit(int W, int HeightLimit) { return LayoutCore(W, HeightLimit, true); }

TTextEventRecord TLasGraphic::NextTextEvent() {
    TTextEvent E;
    for (;;) {
        if (EventCursor >= MaxTextEvents) {
            E = {};
            break;
        }
        E = Events[size_t(EventCursor)];
        if (E.Code != evEnd) ++EventCursor;
        switch (E.Code) {
        case evLineTop: CellY = E.Value; continue;
        case evCellX: CellX = E.Value; continue;
        case evCellWidth: CellWidth = E.Value; continue;
        case evLineHeight: CellHeight = E.Value; continue;
        case evSpeedNormal: CharWait = 60; continue;
        case evSpeedFast: CharWait = 20; continue;
        case evSpeedSlow: CharWait = 120; continue;
        case evChar:
            CellX += CellWidth;
            CellWidth = E.Value - CellX;
            break;
        default: break;
        }
        break;
    }
    return {E.Code, E.Value, CellX, CellY, CellHeight, CellWidth, CharWait};
}

} // namespace narvo

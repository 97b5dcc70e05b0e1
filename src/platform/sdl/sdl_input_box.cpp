#include "platform/sdl/sdl_input_box.h"

#include "platform/encoding.h"
#include "platform/fonts.h"

#include <algorithm>

namespace narvo {

namespace {

constexpr uint32_t FaceColour = 0x00F0F0F0;
constexpr uint32_t BorderColour = 0x00404040;
constexpr uint32_t CaptionColour = 0x00335599;
constexpr uint32_t FieldColour = 0x00FFFFFF;
constexpr uint32_t TextColour = 0x00000000;
constexpr uint32_t CompositionColour = 0x00335599;

struct TRect {
    int X = 0, Y = 0, W = 0, H = 0;
    bool Contains(int PX, int PY) const { return PX >= X && PX < X + W && PY >= Y && PY < Y + H; }
};

void Fill(TPicture& Back, TRect R, uint32_t Colour) {
    int X0 = std::max(R.X, 0), X1 = std::min(R.X + R.W, Back.Width);
    int Y0 = std::max(R.Y, 0), Y1 = std::min(R.Y + R.H, Back.Height);
    for (int Y = Y0; Y < Y1; ++Y) std::fill(Back.Row(Y) + X0, Back.Row(Y) + X1, Colour);
}

void Frame(TPicture& Back, TRect R, uint32_t Colour) {
    Fill(Back, {R.X, R.Y, R.W, 1}, Colour);
    Fill(Back, {R.X, R.Y + R.H - 1, R.W, 1}, Colour);
    Fill(Back, {R.X, R.Y, 1, R.H}, Colour);
    Fill(Back, {R.X + R.W - 1, R.Y, 1, R.H}, Colour);
}

// Draws UTF-8 text clipped to `Clip`, its pen at `X` (relative to the clip's left edge).
void Text(TPicture& Back, TFontInstance& Font, const std::string& Utf8, TRect Clip, int X,
          uint32_t Colour) {
    Clip.X = std::max(Clip.X, 0);
    Clip.Y = std::max(Clip.Y, 0);
    Clip.W = std::min(Clip.W, Back.Width - Clip.X);
    Clip.H = std::min(Clip.H, Back.Height - Clip.Y);
    if (Clip.W <= 0 || Clip.H <= 0) return;
    TPlaneView<uint32_t> View{Back.Row(Clip.Y) + Clip.X, Clip.W, Clip.H, Back.Width};
    int Baseline = (Clip.H - Font.Height()) / 2 + Font.Ascent();
    DrawTextGlyphs(Font, Utf8ToSjis(Utf8), X, Baseline, &View, Colour, nullptr, 0);
}

int Width(TFontInstance& Font, const std::string& Utf8) { return MeasureText(Font, Utf8ToSjis(Utf8)); }

struct TLayout {
    TRect Box, Caption, Prompt, Field, Ok, Cancel;
};

TLayout Place(const TPicture& Back, int LineHeight) {
    TLayout L;
    int W = std::min(Back.Width - 16, 420);
    int H = LineHeight * 5 + 40;
    L.Box = {(Back.Width - W) / 2, (Back.Height - H) / 2, W, H};
    int Inner = W - 24;
    int Y = L.Box.Y + 6;
    L.Caption = {L.Box.X + 12, Y, Inner, LineHeight + 4};
    Y += LineHeight + 10;
    L.Prompt = {L.Box.X + 12, Y, Inner, LineHeight + 4};
    Y += LineHeight + 6;
    L.Field = {L.Box.X + 12, Y, Inner, LineHeight + 8};
    Y += LineHeight + 16;
    int ButtonW = std::min(110, Inner / 2 - 8);
    L.Cancel = {L.Box.X + W - 12 - ButtonW, Y, ButtonW, LineHeight + 8};
    L.Ok = {L.Cancel.X - 10 - ButtonW, Y, ButtonW, LineHeight + 8};
    return L;
}

void Button(TPicture& Back, TFontInstance& Font, TRect R, const std::string& Label) {
    Fill(Back, R, 0x00E0E0E0);
    Frame(Back, R, BorderColour);
    Text(Back, Font, Label, R, (R.W - Width(Font, Label)) / 2, TextColour);
}

void Draw(const TPicture& Saved, TPicture& Back, TFontInstance& Font, TFontInstance& Bold,
          const TLayout& L, const std::string& Caption, const std::string& Prompt,
          const std::string& Entered, const std::string& Composing) {
    Back = Saved;
    Fill(Back, L.Box, FaceColour);
    Frame(Back, L.Box, BorderColour);
    Text(Back, Bold, Caption, L.Caption, 0, CaptionColour);
    Text(Back, Font, Prompt, L.Prompt, 0, TextColour);
    Fill(Back, L.Field, FieldColour);
    Frame(Back, L.Field, BorderColour);
    // Keep the caret in view: a long text scrolls to the left.
    TRect Inside{L.Field.X + 4, L.Field.Y + 1, L.Field.W - 8, L.Field.H - 2};
    int EnteredWidth = Width(Font, Entered);
    int CaretX = EnteredWidth + Width(Font, Composing);
    int Shift = std::min(0, Inside.W - 2 - CaretX);
    Text(Back, Font, Entered, Inside, Shift, TextColour);
    if (!Composing.empty()) {
        Text(Back, Font, Composing, Inside, Shift + EnteredWidth, CompositionColour);
        Fill(Back, {Inside.X + Shift + EnteredWidth, Inside.Y + Inside.H - 3, Width(Font, Composing), 1},
             CompositionColour);
    }
    Fill(Back, {Inside.X + Shift + CaretX, Inside.Y + 2, 1, Inside.H - 4}, TextColour);
    Button(Back, Font, L.Ok, "OK");
    Button(Back, Font, L.Cancel, "キャンセル");
}

void DropLastCharacter(std::string& Utf8) {
    if (Utf8.empty()) return;
    size_t Cut = Utf8.size() - 1;
    while (Cut > 0 && (static_cast<unsigned char>(Utf8[Cut]) & 0xC0) == 0x80) --Cut;
    Utf8.erase(Cut);
}

} // namespace

std::optional<std::string> RunSdlInputBox(const TSdlInputBoxHost& Host, std::string_view SjisCaption,
                                          std::string_view SjisPrompt, std::string_view SjisProposed) {
    TPicture& Back = *Host.Back;
    const TPicture Saved = Back;
    TFontInstance& Font = FindFontInstance(TFont{"", 10, 0, false, false});
    TFontInstance& Bold = FindFontInstance(TFont{"", 10, 0, true, false});
    const TLayout L = Place(Back, Font.Height());
    const std::string Caption = SjisToUtf8(SjisCaption);
    const std::string Prompt = SjisToUtf8(SjisPrompt);
    std::string Entered = SjisToUtf8(SjisProposed);
    std::string Composing;

    SDL_Rect Field{L.Field.X, L.Field.Y, L.Field.W, L.Field.H};
    SDL_SetTextInputRect(&Field);
    SDL_StartTextInput();
    std::optional<std::string> Result;
    bool Done = false, Dirty = true;
    while (!Done) {
        if (Dirty) {
            Draw(Saved, Back, Font, Bold, L, Caption, Prompt, Entered, Composing);
            Host.Present();
            Dirty = false;
        }
        SDL_Event Event;
        if (!SDL_WaitEventTimeout(&Event, 20)) {
            if (Host.WhileWaiting) Host.WhileWaiting();
            continue;
        }
        switch (Event.type) {
        case SDL_TEXTINPUT:
            Entered += Event.text.text;
            Composing.clear();
            Dirty = true;
            break;
        case SDL_TEXTEDITING:
            Composing = Event.edit.text;
            Dirty = true;
            break;
        case SDL_KEYDOWN:
            switch (Event.key.keysym.sym) {
            case SDLK_RETURN:
            case SDLK_KP_ENTER:
                if (Composing.empty()) {
                    Result = Utf8ToSjis(Entered);
                    Done = true;
                }
                break;
            case SDLK_ESCAPE:
                if (Composing.empty()) Done = true;
                break;
            case SDLK_BACKSPACE:
                if (Composing.empty()) {
                    DropLastCharacter(Entered);
                    Dirty = true;
                }
                break;
            default: break;
            }
            break;
        case SDL_MOUSEBUTTONUP:
            if (Event.button.button != SDL_BUTTON_LEFT) break;
            if (L.Ok.Contains(Event.button.x, Event.button.y)) {
                Result = Utf8ToSjis(Entered);
                Done = true;
            } else if (L.Cancel.Contains(Event.button.x, Event.button.y)) {
                Done = true;
            }
            break;
        case SDL_QUIT:
            // Closing the window cancels the box; the loop then sees the close.
            SDL_PushEvent(&Event);
            Done = true;
            break;
        case SDL_WINDOWEVENT:
            Dirty = true;
            break;
        default: break;
        }
    }
    SDL_StopTextInput();
    Back = Saved;
    Host.Present();
    return Result;
}

} // namespace narvo

// The text layout engine: markup, line breaking, pages with their style prefixes, the
// event queue and its reader.
#include "graphics/las_grf.h"
#include "system/icm_sub.h"
#include "test_support.h"

#include <gtest/gtest.h>

namespace narvo {
namespace {

using test::Sjis;

// The stored events as "name value" pairs, speed and line events included.
std::string EventList(const TLasGraphic& G) {
    std::string S;
    for (int I = 0; I < G.EventCount; ++I) {
        if (!S.empty()) S += ' ';
        S += std::string(TextEventName(G.Events[size_t(I)].Code)) + ':' +
             std::to_string(G.Events[size_t(I)].Value);
    }
    return S;
}

int LineHeight(int Points) {
    TFont F;
    F.Size = Points;
    return FindFontInstance(F).Height();
}

std::unique_ptr<TLasGraphic> TextSurface(int W, int H, int Points) {
    auto G = std::make_unique<TLasGraphic>();
    G->SetSize(W, H);
    G->Font.Size = Points;
    return G;
}

TEST(TextLayout, TwoLinesAtHashAndTheirEvents) {
    auto G = TextSurface(640, 480, 16);
    G->Text = Sjis("あい#うえ");
    const int H = LineHeight(16);
    EXPECT_EQ(G->LayoutText(), 2 * H);
    std::string L = std::to_string(H);
    EXPECT_EQ(EventList(*G), "speednormal:0 cellx:0 cellwidth:0 linetop:0 lineheight:" + L +
                                 " char:21 char:42 char:42 cellx:0 cellwidth:0 linetop:" + L +
                                 " lineheight:" + L + " char:21 char:42 char:42 end:0");
    EXPECT_EQ(G->Text, "");
    EXPECT_EQ(G->OriginalText, Sjis("あい#うえ"));
    EXPECT_EQ(G->AlphaMode, amMask);

    // Reading: the first answer is the first character, with the line already set.
    auto E = G->NextTextEvent();
    EXPECT_EQ(E.Code, evChar);
    EXPECT_EQ(E.CellX, 0);
    EXPECT_EQ(E.CellWidth, 21);
    EXPECT_EQ(E.CellY, 0);
    EXPECT_EQ(E.CellHeight, H);
    EXPECT_EQ(E.CharWait, 60);
    E = G->NextTextEvent();
    EXPECT_EQ(E.CellX, 21);
    EXPECT_EQ(E.CellWidth, 21);
    E = G->NextTextEvent(); // the line's end: an empty cell
    EXPECT_EQ(E.CellX, 42);
    EXPECT_EQ(E.CellWidth, 0);
    E = G->NextTextEvent();
    EXPECT_EQ(E.CellX, 0);
    EXPECT_EQ(E.CellY, H);
}

TEST(TextLayout, EmptyTextMakesOneEmptyCellThenEndForever) {
    auto G = TextSurface(100, 100, 10);
    EXPECT_EQ(G->LayoutText(), LineHeight(10));
    auto E = G->NextTextEvent();
    EXPECT_EQ(E.Code, evChar);
    EXPECT_EQ(E.Value, 0);
    EXPECT_EQ(E.CellWidth, 0);
    for (int I = 0; I < 3; ++I) EXPECT_EQ(G->NextTextEvent().Code, evEnd);
}

TEST(TextLayout, TagsTable) {
    struct Case {
        const char* Text;
        const char* Events; // the events other than line and char events
    };
    const Case Cases[] = {
        {"<W5>", "speednormal:0 wait:500 end:0"},
        {"<W123>", "speednormal:0 wait:1200 end:0"},
        {"<W>", "speednormal:0 wait:0 end:0"},
        {"<FAST><SLOW><NORMAL>", "speednormal:0 speedfast:0 speedslow:0 speednormal:0 end:0"},
        {"<KEY>", "speednormal:0 keymarkshow:0 keywait:0 keymarkhide:0 end:0"},
        {"<key><Q><>", "speednormal:0 end:0"},
        {"a<b", "speednormal:0 end:0"},
    };
    for (const auto& C : Cases) {
        SCOPED_TRACE(C.Text);
        auto G = TextSurface(300, 100, 10);
        G->Text = C.Text;
        G->LayoutText();
        std::string Filtered;
        for (int I = 0; I < G->EventCount; ++I) {
            int32_t Code = G->Events[size_t(I)].Code;
            if (Code == evChar || (Code >= evLineTop && Code <= evLineHeight)) continue;
            if (!Filtered.empty()) Filtered += ' ';
            Filtered += std::string(TextEventName(Code)) + ':' + std::to_string(G->Events[size_t(I)].Value);
        }
        EXPECT_EQ(Filtered, C.Events);
    }
    // Speed tags reach the reader's cursor.
    auto G = TextSurface(300, 100, 10);
    G->Text = "<FAST>a";
    G->LayoutText();
    EXPECT_EQ(G->NextTextEvent().CharWait, 20);
}

// The mask of a layout, as one string per row.
std::vector<std::string> MaskRows(const TLasGraphic& G) {
    std::vector<std::string> Rows;
    for (int Y = 0; Y < G.Height(); ++Y) {
        std::string R;
        for (int X = 0; X < G.Width(); ++X) R += G.MaskPlane->Row(Y)[X] ? '#' : '.';
        Rows.push_back(R);
    }
    return Rows;
}

TEST(TextLayout, BoldMidLineKeepsTheLineAndDrawsBold) {
    auto Mixed = TextSurface(80, 30, 16);
    Mixed->Text = Sjis("永<B>永");
    Mixed->LayoutText();
    auto Regular = TextSurface(80, 30, 16);
    Regular->Text = Sjis("永");
    Regular->LayoutText();
    auto Bold = TextSurface(80, 30, 16);
    Bold->Text = Sjis("<B>永");
    Bold->LayoutText();
    int LineEvents = 0;
    for (int I = 0; I < Mixed->EventCount; ++I) LineEvents += Mixed->Events[size_t(I)].Code == evLineTop;
    EXPECT_EQ(LineEvents, 1);
    auto M = MaskRows(*Mixed), R = MaskRows(*Regular), B = MaskRows(*Bold);
    for (int Y = 0; Y < 30; ++Y) {
        EXPECT_EQ(M[size_t(Y)].substr(0, 21), R[size_t(Y)].substr(0, 21)) << Y;
        EXPECT_EQ(M[size_t(Y)].substr(21, 40), B[size_t(Y)].substr(0, 40)) << Y;
    }
    EXPECT_NE(B, R);
}

TEST(TextLayout, PlanesAgreeAndColourTagsColour) {
    auto G = TextSurface(200, 40, 16);
    G->Font.Colour = 0x00FF00; // green
    G->Text = Sjis("緑<clRed>赤<0x00FF0000>青<clBogus>青");
    G->LayoutText();
    int Counts[4] = {};
    for (int Y = 0; Y < G->Height(); ++Y)
        for (int X = 0; X < G->Width(); ++X) {
            uint8_t M = G->MaskPlane->Row(Y)[X];
            uint32_t C = G->ColourPlane->Row(Y)[X];
            ASSERT_TRUE(M == 0 || M == 255);
            if (M == 0) {
                ASSERT_EQ(C, 0x00FFFFFFu) << X << "," << Y;
                continue;
            }
            int Cell = X / 21;
            uint32_t Want = Cell == 0 ? 0x0000FF00 : Cell == 1 ? 0x00FF0000 : 0x000000FF;
            ASSERT_EQ(C, Want) << X << "," << Y;
            ++Counts[std::min(Cell, 3)];
        }
    for (int Cell = 0; Cell < 4; ++Cell) EXPECT_GT(Counts[Cell], 0) << Cell;
    EXPECT_EQ(G->TagFontColour, 0xFF0000u);
}

TEST(TextLayout, WidthBreaksAndOverflowEdge) {
    auto G = TextSurface(50, 100, 16); // room for two full-width characters
    G->Text = Sjis("あいう");
    const int H = LineHeight(16);
    EXPECT_EQ(G->LayoutText(), 2 * H);
    std::string L = std::to_string(H);
    EXPECT_EQ(EventList(*G), "speednormal:0 cellx:0 cellwidth:0 linetop:0 lineheight:" + L +
                                 " char:21 char:42 char:63 cellx:0 cellwidth:0 linetop:" + L +
                                 " lineheight:" + L + " char:21 char:21 end:0");

    // Narrower than one character: each line still takes one, so the text ends.
    auto N = TextSurface(5, 200, 16);
    N->Text = Sjis("あい");
    EXPECT_EQ(N->LayoutText(), 2 * H);
    EXPECT_EQ(N->Text, "");
}

TEST(TextLayout, ThreeHundredLinesThenPrefixedRemainder) {
    std::string Text = "<*16><B>x#";
    for (int I = 0; I < 299; ++I) Text += "x#";
    Text += "y<I>z";
    TLasGraphic G;
    G.Text = Text;
    int Height = G.LayoutTextFit(100, 0);
    EXPECT_EQ(Height, 300 * LineHeight(16));
    EXPECT_EQ(G.Height(), Height);
    EXPECT_EQ(G.Width(), 100);
    // Size first, then the colour, then bold: the order the next page reads them in.
    EXPECT_EQ(G.Text, "<*16><clBlack><B>y<I>z");
    EXPECT_EQ(G.Events[size_t(G.EventCount - 2)].Code, evNextPage);
    EXPECT_EQ(G.Events[size_t(G.EventCount - 2)].Value, 0);
    EXPECT_EQ(G.Events[size_t(G.EventCount - 1)].Code, evEnd);

    // The next page continues bold: the same mask as a page that starts bold itself.
    G.LayoutTextFit(100, 0);
    EXPECT_EQ(G.Text, "");
    TLasGraphic Direct;
    Direct.Text = "<*16><B>y<I>z";
    Direct.LayoutTextFit(100, 0);
    EXPECT_EQ(MaskRows(G), MaskRows(Direct));
}

TEST(TextLayout, EventQueueHoldsAtMost4096) {
    auto G = TextSurface(100000, 100, 10);
    G->Text = std::string(5000, 'a');
    G->LayoutText();
    EXPECT_EQ(G->EventCount, MaxTextEvents);
    G->EventCursor = MaxTextEvents;
    auto E = G->NextTextEvent();
    EXPECT_EQ(E.Code, evEnd);
    EXPECT_EQ(E.Value, 0);
}

// A real Shift-JIS story laid out page by page into a message window: no page is
// taller than the window, no double-byte character is split, and the whole text is
// shown exactly once.
TEST(TextLayout, PaginatesALongShiftJisText) {
    std::string Raw = test::ReadFile(test::DataPath("texts/rashomon.txt"));
    ASSERT_GT(Raw.size(), 10000u);
    std::string Source;
    for (size_t P = 0; P < Raw.size();) {
        size_t Len = SjisCharLength(Raw, P);
        if (Raw[P] == '\r') {
        } else if (Raw[P] == '\n') {
            Source += '#';
        } else if (Len == 1 && (Raw[P] == '<' || Raw[P] == '>')) {
            Source += ' ';
        } else {
            Source.append(Raw, P, Len);
        }
        P += Len;
    }
    auto G = TextSurface(640, 480, 16);
    G->Text = Source;
    std::string Shown;
    int Pages = 0;
    while (true) {
        ++Pages;
        ASSERT_LT(Pages, 200);
        int H = G->LayoutText();
        EXPECT_LE(H, 480);
        if (!G->Text.empty()) {
            EXPECT_GT(H, 480 - LineHeight(16));
        }
        std::string Page = G->OriginalText;
        // Drop the prefix this page started with, keep what it drew.
        if (Pages > 1) {
            ASSERT_EQ(Page.rfind("<*16><clBlack>", 0), 0u);
            Page.erase(0, 14);
        }
        std::string Left = G->Text;
        if (!Left.empty()) {
            ASSERT_EQ(Left.rfind("<*16><clBlack>", 0), 0u);
            Left.erase(0, 14);
        }
        ASSERT_GE(Page.size(), Left.size());
        ASSERT_EQ(Page.compare(Page.size() - Left.size(), Left.size(), Left), 0);
        Shown += Page.substr(0, Page.size() - Left.size());
        if (G->Text.empty()) break;
        EXPECT_EQ(G->Events[size_t(G->EventCount - 2)].Value, 480);
    }
    EXPECT_GT(Pages, 5);
    EXPECT_EQ(Shown, Source);
    // Every page boundary falls on a character boundary of the source.
    size_t Boundary = 0;
    G->Text = Source;
    for (int P = 0; P < Pages - 1; ++P) {
        G->LayoutText();
        std::string Left = G->Text.substr(14);
        Boundary = Source.size() - Left.size();
        size_t Pos = 0;
        while (Pos < Boundary) Pos += SjisCharLength(Source, Pos);
        EXPECT_EQ(Pos, Boundary);
    }
}

} // namespace
} // namespace narvo

// Dynamic items: the hover rules (shadowing, disabled items, "Opaque" over transparent
// pixels), clicks with AutoClear, the animation and timer ticks, pictures built from
// images and texts, and drawing the grid cell of an item's frame and status.
#include "graphics/dyna_lay.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <map>

namespace narvo {
namespace {

using Status = TDLStatus;

std::unique_ptr<TDynamicLayerList> Item(int Attr, int Left, int Top, int Width, int Height,
                                        TDLActiveArea Area = TDLActiveArea::All,
                                        TDLActiveMode Mode = TDLActiveMode::Waiting) {
    auto I = std::make_unique<TDynamicLayerList>();
    I->Property.AttrID = Attr;
    I->Property.Left = Left;
    I->Property.Top = Top;
    I->Property.Width = Width;
    I->Property.Height = Height;
    I->Property.ActiveArea = Area;
    I->Property.ActiveMode = Mode;
    return I;
}

// The items from the top, by attribute (the tests give each a distinct one).
std::vector<int> Attrs(const TDynamicLayer& Layer) {
    std::vector<int> Out;
    for (const TDynamicLayerList* I = Layer.Items; I; I = I->Older)
        Out.push_back(I->Property.AttrID);
    return Out;
}

// The chain read upwards must mirror the chain read downwards.
void ExpectLinked(const TDynamicLayer& Layer) {
    std::vector<const TDynamicLayerList*> Down;
    for (const TDynamicLayerList* I = Layer.Items; I; I = I->Older)
        Down.push_back(I);
    if (Down.empty())
        return;
    EXPECT_EQ(Down.front()->Newer, nullptr);
    std::vector<const TDynamicLayerList*> Up;
    for (const TDynamicLayerList* I = Down.back(); I; I = I->Newer)
        Up.push_back(I);
    EXPECT_EQ(std::vector(Down.rbegin(), Down.rend()), Up);
}

TDynamicLayerList* Find(TDynamicLayer& Layer, int Attr) {
    for (TDynamicLayerList* I = Layer.Items; I; I = I->Older)
        if (I->Property.AttrID == Attr)
            return I;
    return nullptr;
}

TEST(DynamicLayer, NewItemDefaults) {
    TDynamicLayerList I;
    EXPECT_EQ(I.Property.Status, Status::Idle);
    EXPECT_TRUE(I.Property.Clickable.Cursor);
    EXPECT_EQ(I.Property.Image.AnimeCount, 1);
    EXPECT_EQ(I.Property.Image.DivideCount, 1);
    EXPECT_EQ(I.Property.Text.FontName, test::Sjis("ＭＳ ゴシック"));
    EXPECT_EQ(I.Property.Text.FontSize, 16);
    EXPECT_FALSE(I.Picture);
}

TEST(DynamicLayer, ChainKeepsOrderThroughAddAndRemove) {
    TDynamicLayer L;
    for (int A : {1, 2, 3, 2, 4})
        L.AddItem(Item(A, 0, 0, 1, 1));
    EXPECT_EQ(Attrs(L), (std::vector<int>{4, 2, 3, 2, 1}));
    EXPECT_TRUE(L.RemoveByAttr(2)); // a middle item and one next to the top
    EXPECT_EQ(Attrs(L), (std::vector<int>{4, 3, 1}));
    ExpectLinked(L);
    EXPECT_FALSE(L.RemoveByAttr(9));
    EXPECT_TRUE(L.RemoveByAttr(4)); // the top
    EXPECT_TRUE(L.RemoveByAttr(1)); // the bottom
    EXPECT_EQ(Attrs(L), (std::vector<int>{3}));
    ExpectLinked(L);
    L.ClearItems();
    EXPECT_EQ(L.Items, nullptr);
    EXPECT_EQ(L.ItemCount(), 0);
}

// Each row hovers at a point and names the statuses that follow, by attribute. The
// scene, bottom to top: A (1) at 0..19, B (2) at 10..29 over it, a disabled item D (3)
// at 40..59 over C (4) at 35..59, an "Always" item E (5) at 70..79, and an item F (6) without
// picture but "Opaque" at 80..89, which never reacts.
TEST(DynamicLayer, HoverFollowsTheTopHitItem) {
    struct TCase {
        int X;
        bool Waiting;
        bool Changed;
        std::map<int, Status> After;
    } Cases[] = {
        {15, true, true, {{1, Status::Idle}, {2, Status::Active}}},  // the upper one wins
        {15, true, false, {{1, Status::Idle}, {2, Status::Active}}}, // already active
        {5, true, true, {{1, Status::Active}, {2, Status::Idle}}},   // only the lower is hit
        {25, false, true, {{1, Status::Idle}, {2, Status::Idle}}},   // not waiting: no activation
        {37, true, true, {{4, Status::Active}}},                     // C alone
        {50, true, true, {{3, Status::Disable}, {4, Status::Idle}}}, // disabled D shadows C
        {75, false, true, {{5, Status::Active}}},                    // "Always" needs no wait
        {85, true, true, {{5, Status::Idle}, {6, Status::Idle}}},    // no picture: never hit
        {200, true, false, {{1, Status::Idle}, {5, Status::Idle}}},
    };
    TDynamicLayer L;
    L.AddItem(Item(1, 0, 0, 20, 10));
    L.AddItem(Item(2, 10, 0, 20, 10));
    L.AddItem(Item(4, 35, 0, 25, 10));
    L.AddItem(Item(3, 40, 0, 20, 10));
    Find(L, 3)->Property.Status = Status::Disable;
    L.AddItem(Item(5, 70, 0, 10, 10, TDLActiveArea::All, TDLActiveMode::Always));
    L.AddItem(Item(6, 80, 0, 10, 10, TDLActiveArea::Opaque));
    for (const TCase& C : Cases) {
        SCOPED_TRACE(C.X);
        EXPECT_EQ(L.HoverTest(C.X, 5, C.Waiting), C.Changed);
        for (auto [Attr, Expected] : C.After)
            EXPECT_EQ(Find(L, Attr)->Property.Status, Expected) << Attr;
    }
}

TEST(DynamicLayer, HoverOverDisabledItemIdlesTheActiveOneBelow) {
    TDynamicLayer L;
    L.AddItem(Item(1, 0, 0, 50, 50));
    L.AddItem(Item(2, 20, 20, 10, 10));
    Find(L, 2)->Property.Status = Status::Disable;
    EXPECT_TRUE(L.HoverTest(5, 5, true));
    EXPECT_EQ(Find(L, 1)->Property.Status, Status::Active);
    EXPECT_TRUE(L.HoverTest(25, 25, true));
    EXPECT_EQ(Find(L, 1)->Property.Status, Status::Idle);
    EXPECT_EQ(Find(L, 2)->Property.Status, Status::Disable);
    EXPECT_FALSE(L.FocusWantsCursor());
}

// "Opaque" asks the mask of the picture's top-left cell: above 15 counts. The picture
// is two frames of 4 by 1; the frame on show (1) is opaque everywhere, frame 0 is not.
TEST(DynamicLayer, OpaqueAreaTestsTheTopLeftCellsMask) {
    auto I = Item(1, 100, 50, 0, 0, TDLActiveArea::Opaque, TDLActiveMode::Always);
    TLasGraphic Pic;
    Pic.SetAlphaMode(amMask);
    Pic.SetSize(8, 1);
    const uint8_t Masks[8] = {0, 15, 16, 255, 255, 255, 255, 255};
    std::copy(Masks, Masks + 8, Pic.MaskPlane->Row(0));
    I->Property.Image.FileName = "button.png";
    I->Property.Image.AnimeCount = 2;
    ASSERT_TRUE(I->BuildPicture(&Pic));
    EXPECT_EQ(I->Property.Width, 4);
    I->Property.AnimeIndex = 1;
    TDynamicLayer L;
    L.AddItem(std::move(I));
    const bool Hit[4] = {false, false, true, true};
    for (int X = 0; X < 4; ++X) {
        L.DeactivateAll();
        L.HoverTest(100 + X, 50, false);
        EXPECT_EQ(L.Items->Property.Status == Status::Active, Hit[X]) << X;
    }
}

TEST(DynamicLayer, OnceAnimationRunsThroughAndRests) {
    TDynamicLayer L;
    L.AddItem(Item(1, 0, 0, 10, 10, TDLActiveArea::All, TDLActiveMode::Always));
    L.Items->Property.Image.AnimeType = TDLAnimeType::Once;
    L.Items->Property.Image.AnimeCount = 4;
    EXPECT_FALSE(L.AnimateItems()); // at rest before the first activation
    ASSERT_TRUE(L.HoverTest(1, 1, false));
    EXPECT_EQ(L.Items->Property.AnimeIndex, 1);
    const int Frames[] = {2, 3, 0, 0, 0};
    const bool Changes[] = {true, true, true, false, false};
    for (int T = 0; T < 5; ++T) {
        EXPECT_EQ(L.AnimateItems(), Changes[T]) << T;
        EXPECT_EQ(L.Items->Property.AnimeIndex, Frames[T]) << T;
    }
    // Hovering again while active does not restart it; leaving and coming back does.
    L.HoverTest(1, 1, false);
    EXPECT_EQ(L.Items->Property.AnimeIndex, 0);
    L.HoverTest(50, 50, false);
    L.HoverTest(1, 1, false);
    EXPECT_EQ(L.Items->Property.AnimeIndex, 1);
}

TEST(DynamicLayer, RepeatAnimationWraps) {
    TDynamicLayer L;
    L.AddItem(Item(1, 0, 0, 1, 1));
    L.Items->Property.Image.AnimeType = TDLAnimeType::Repeat;
    L.Items->Property.Image.AnimeCount = 2;
    L.AddItem(Item(2, 0, 0, 1, 1)); // a single frame repeats without ever changing
    L.Items->Property.Image.AnimeType = TDLAnimeType::Repeat;
    EXPECT_TRUE(L.AnimateItems());
    EXPECT_EQ(Find(L, 1)->Property.AnimeIndex, 1);
    EXPECT_TRUE(L.AnimateItems());
    EXPECT_EQ(Find(L, 1)->Property.AnimeIndex, 0);
    L.RemoveByAttr(1);
    EXPECT_FALSE(L.AnimateItems());
}

TEST(DynamicLayer, TimerGaugeShowsSecondsLeft) {
    struct {
        int Frames, Seconds, Index;
        bool Changed;
    } Cases[] = {
        {10, 10, 0, false}, {10, 3, 7, true},   {10, 1, 9, true},
        {5, 8, 0, false},   {10, 11, 0, false},
    };
    for (const auto& C : Cases) {
        TDynamicLayer L;
        L.AddItem(Item(5, 0, 0, 1, 1));
        L.Items->Property.Image.AnimeType = TDLAnimeType::Timer;
        L.Items->Property.Image.AnimeCount = C.Frames;
        EXPECT_EQ(L.UpdateTimerItems(C.Seconds), C.Changed) << C.Seconds;
        EXPECT_EQ(L.Items->Property.AnimeIndex, C.Index) << C.Seconds;
        EXPECT_EQ(L.Items->Property.AttrID, 5);
    }
    // Time up: the gauge stops at frame 0 and joins the items the main loop removes.
    TDynamicLayer L;
    L.AddItem(Item(5, 0, 0, 1, 1));
    L.Items->Property.Image.AnimeType = TDLAnimeType::Timer;
    L.Items->Property.Image.AnimeCount = 10;
    L.AddItem(Item(6, 0, 0, 1, 1)); // not a timer: untouched
    L.UpdateTimerItems(2);
    EXPECT_TRUE(L.UpdateTimerItems(0));
    const TDLProperty& P = Find(L, DLAttrTimeUp)->Property;
    EXPECT_EQ(P.Image.AnimeType, TDLAnimeType::None);
    EXPECT_EQ(P.AnimeIndex, 0);
    EXPECT_FALSE(L.UpdateTimerItems(0));
    EXPECT_TRUE(L.RemoveByAttr(DLAttrTimeUp));
    EXPECT_EQ(Attrs(L), (std::vector<int>{6}));
}

TEST(DynamicLayer, ClickTakesTheActiveItemAndAutoClearRemovesItsAttribute) {
    TDynamicLayer L;
    L.AddItem(Item(3, 0, 0, 100, 100)); // below everything, another attribute
    for (int I = 0; I < 3; ++I) {
        L.AddItem(Item(7, 0, I * 10, 100, 10));
        L.Items->Property.Clickable.BookName = "book";
        L.Items->Property.Clickable.PageName = "page" + std::to_string(I);
        L.Items->Property.Clickable.PageChange = TDLPageChange::Call;
        L.Items->Property.Clickable.AutoClear = true;
        L.Items->Property.Clickable.Cursor = I != 1;
    }
    TDLClickTarget Target;
    EXPECT_FALSE(L.TakeClicked(Target)); // nothing active yet
    EXPECT_EQ(L.ItemCount(), 4);

    L.HoverTest(5, 15, true);
    EXPECT_FALSE(L.FocusWantsCursor()); // item 1 asks for no hand cursor
    L.HoverTest(5, 25, true);
    EXPECT_TRUE(L.FocusWantsCursor());
    ASSERT_TRUE(L.TakeClicked(Target));
    EXPECT_EQ(Target.BookName, "book");
    EXPECT_EQ(Target.PageName, "page2");
    EXPECT_EQ(Target.PageChange, TDLPageChange::Call);
    EXPECT_EQ(Attrs(L), (std::vector<int>{3}));
    ExpectLinked(L);

    // A click that clears every item still reports its target.
    L.ClearItems();
    L.AddItem(Item(7, 0, 0, 10, 10));
    L.Items->Property.Clickable.AutoClear = true;
    L.Items->Property.Clickable.PageName = "last";
    L.HoverTest(1, 1, true);
    ASSERT_TRUE(L.TakeClicked(Target));
    EXPECT_EQ(Target.PageName, "last");
    EXPECT_EQ(L.Items, nullptr);

    // Without AutoClear the item stays and becomes idle.
    L.AddItem(Item(8, 0, 0, 10, 10));
    L.HoverTest(1, 1, true);
    ASSERT_TRUE(L.TakeClicked(Target));
    EXPECT_EQ(L.Items->Property.Status, Status::Idle);
    EXPECT_FALSE(L.DeactivateAll());
}

TEST(DynamicLayer, BuildPictureFromImageTextOrNothing) {
    TLasGraphic Loaded;
    Loaded.SetSize(60, 40);
    TDynamicLayerList Image;
    Image.Property.Image.FileName = "x.png";
    Image.Property.Image.AnimeCount = 3;
    Image.Property.Image.DivideCount = 0; // raised to 1
    ASSERT_TRUE(Image.BuildPicture(&Loaded));
    EXPECT_EQ(Image.Property.Width, 20);
    EXPECT_EQ(Image.Property.Height, 40);
    EXPECT_EQ(Image.Property.Image.DivideCount, 1);
    EXPECT_FALSE(Image.BuildPicture(nullptr)); // the image is missing

    // Loading through the owner's loader.
    int Calls = 0;
    TDLPictureLoader Loader = [&](std::string_view Name, TLasGraphic& Into) {
        ++Calls;
        if (Name != "x.png")
            return false;
        Into.SetSize(8, 8);
        return true;
    };
    ASSERT_TRUE(Image.LoadAndBuildPicture(Loader));
    EXPECT_EQ(Image.Property.Width, 8 / 3);
    Image.Property.Image.FileName = "missing.png";
    EXPECT_FALSE(Image.LoadAndBuildPicture(Loader));
    EXPECT_EQ(Calls, 2);

    TDynamicLayerList Empty;
    Empty.Property.Image.AnimeCount = 4;
    EXPECT_TRUE(Empty.LoadAndBuildPicture(Loader));
    EXPECT_EQ(Calls, 2);
    EXPECT_FALSE(Empty.Picture);
    EXPECT_EQ(Empty.Property.Image.AnimeCount, 1);
}

// A choice: the text over a clear row (idle) and over half-transparent blue (active).
TEST(DynamicLayer, TextItemIsAStripOfTwoLooks) {
    TDynamicLayerList T;
    T.Property.Width = 120;
    T.Property.Text.Text = "Yes";
    T.Property.Text.FontColor = 0x0000FF; // red
    ASSERT_TRUE(T.BuildPicture(nullptr));
    const TLasGraphic& P = *T.Picture;
    int H = T.Property.Height;
    ASSERT_GT(H, 0);
    EXPECT_EQ(P.Width(), 120);
    EXPECT_EQ(P.Height(), 2 * H);
    EXPECT_EQ(P.AlphaMode, amAlpha);
    EXPECT_EQ(T.Property.Image.DivideCount, 2);
    EXPECT_EQ(T.Property.Image.IndexActive, 1);
    int Glyphs = 0;
    for (int Y = 0; Y < H; ++Y)
        for (int X = 0; X < 120; ++X) {
            uint8_t Top = P.MaskPlane->Row(Y)[X], Bottom = P.MaskPlane->Row(Y + H)[X];
            uint32_t BottomWord = P.ColourPlane->Row(Y + H)[X];
            if (Top == 0) {
                EXPECT_EQ(Bottom, 128);
                EXPECT_EQ(BottomWord & 0xFFFFFF, 0x0000FFu); // pure blue
            } else {
                ++Glyphs;
                EXPECT_EQ(Top, 255);
                EXPECT_EQ(Bottom, 255);
                EXPECT_EQ(P.ColourPlane->Row(Y)[X] & 0xFFFFFF, 0xFF0000u); // red glyph
                EXPECT_EQ(BottomWord & 0xFFFFFF, 0xFF0000u);
            }
        }
    EXPECT_GT(Glyphs, 20);
}

// DrawItems shows the cell of the item's frame (column) and status (row), the top item
// last; a frame index out of range falls back to 0.
TEST(DynamicLayer, DrawItemsPicksTheCellOfFrameAndStatus) {
    TLasGraphic Grid; // 2 frames by 3 rows of 2 by 2 cells; colour = 0x10 * row + column
    Grid.SetSize(4, 6);
    for (int Y = 0; Y < 6; ++Y)
        for (int X = 0; X < 4; ++X)
            Grid.ColourPlane->Row(Y)[X] = uint32_t(0x10 * (Y / 2) + X / 2);
    auto Make = [&](int Attr, int Left) {
        auto I = Item(Attr, Left, 0, 0, 0);
        I->Property.Image.FileName = "grid.png";
        I->Property.Image.AnimeCount = 2;
        I->Property.Image.DivideCount = 3;
        I->Property.Image.IndexDisable = 2;
        I->Property.Image.IndexEnable = 0;
        I->Property.Image.IndexActive = 1;
        EXPECT_TRUE(I->BuildPicture(&Grid));
        return I;
    };
    struct {
        Status S;
        int Frame;
        uint32_t Expected;
    } Cases[] = {
        {Status::Idle, 0, 0x00},    {Status::Idle, 1, 0x01},   {Status::Active, 1, 0x11},
        {Status::Disable, 0, 0x20}, {Status::Active, 5, 0x10},
    };
    for (const auto& C : Cases) {
        TDynamicLayer L;
        L.AddItem(Make(1, 0));
        L.Items->Property.Status = C.S;
        L.Items->Property.AnimeIndex = C.Frame;
        TLasGraphic Dest;
        Dest.SetSize(4, 4);
        L.DrawItems(Dest);
        EXPECT_EQ(Dest.ColourPlane->Row(1)[1], C.Expected);
        EXPECT_EQ(Dest.ColourPlane->Row(2)[2], 0x00FFFFFFu); // outside the 2 by 2 cell
    }
    TDynamicLayer L;
    L.AddItem(Make(1, 0));
    L.AddItem(Make(2, 1)); // overlaps column 1, on top, shows frame 1
    L.Items->Property.AnimeIndex = 1;
    TLasGraphic Dest;
    Dest.SetSize(4, 4);
    L.DrawItems(Dest);
    EXPECT_EQ(Dest.ColourPlane->Row(0)[0], 0x00u);
    EXPECT_EQ(Dest.ColourPlane->Row(0)[1], 0x01u);
    EXPECT_EQ(Dest.ColourPlane->Row(0)[2], 0x01u);
}

} // namespace
} // namespace narvo

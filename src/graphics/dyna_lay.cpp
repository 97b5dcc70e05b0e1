#include "graphics/dyna_lay.h"

#include <algorithm>
#include <cassert>

namespace narvo {

namespace {

// Whether (X, Y) lies on the item where it reacts. "Opaque" asks the picture's top-left
// cell, whatever frame and row are on show: that is where authors draw the button's
// shape, and the other cells share it.
bool IsHit(const TDynamicLayerList& Item, int X, int Y) {
    const TDLProperty& P = Item.Property;
    if (int64_t(X) < P.Left || int64_t(X) >= int64_t(P.Left) + P.Width)
        return false;
    if (int64_t(Y) < P.Top || int64_t(Y) >= int64_t(P.Top) + P.Height)
        return false;
    switch (P.ActiveArea) {
    case TDLActiveArea::All:
        return true;
    case TDLActiveArea::Opaque:
        return Item.Picture && Item.Picture->HitTest(X - P.Left, Y - P.Top);
    case TDLActiveArea::None:
        return false;
    }
    return false;
}

bool MakeIdle(TDynamicLayerList& Item) {
    if (Item.Property.Status != TDLStatus::Active)
        return false;
    Item.Property.Status = TDLStatus::Idle;
    return true;
}

} // namespace

TDynamicLayer::~TDynamicLayer() {
    ClearItems();
}

void TDynamicLayer::AddItem(std::unique_ptr<TDynamicLayerList> Item) {
    assert(Item);
    TDynamicLayerList* New = Item.release();
    New->Newer = nullptr;
    New->Older = Items;
    if (Items)
        Items->Newer = New;
    Items = New;
}

bool TDynamicLayer::RemoveByAttr(int32_t AttrID) {
    bool Removed = false;
    TDynamicLayerList* Item = Items;
    while (Item) {
        TDynamicLayerList* Below = Item->Older;
        if (Item->Property.AttrID == AttrID) {
            if (Item->Newer)
                Item->Newer->Older = Below;
            else
                Items = Below;
            if (Below)
                Below->Newer = Item->Newer;
            delete Item;
            Removed = true;
        }
        Item = Below;
    }
    return Removed;
}

void TDynamicLayer::ClearItems() {
    while (Items) {
        TDynamicLayerList* Below = Items->Older;
        delete Items;
        Items = Below;
    }
}

int TDynamicLayer::ItemCount() const {
    int N = 0;
    for (const TDynamicLayerList* Item = Items; Item; Item = Item->Older)
        ++N;
    return N;
}

TDynamicLayerList* TDynamicLayer::Bottom() const {
    TDynamicLayerList* Item = Items;
    while (Item && Item->Older)
        Item = Item->Older;
    return Item;
}

void TDynamicLayer::DrawItems(TLasGraphic& Dest) {
    for (TDynamicLayerList* Item = Bottom(); Item; Item = Item->Newer) {
        if (!Item->Picture)
            continue;
        TDLProperty& P = Item->Property;
        TDLProperty_Image& Image = P.Image;
        // Counts and indexes restored from a save file are not trusted to be in range: a
        // count below 1 draws as 1 and a negative frame as frame 0.
        int Frames = std::max(Image.AnimeCount, 1);
        if (P.AnimeIndex >= Frames || P.AnimeIndex < 0)
            P.AnimeIndex = 0;
        switch (P.Status) {
        case TDLStatus::Disable:
            P.FocusIndex = Image.IndexDisable;
            break;
        case TDLStatus::Idle:
            P.FocusIndex = Image.IndexEnable;
            break;
        case TDLStatus::Active:
            P.FocusIndex = Image.IndexActive;
            break;
        }
        int64_t Sx = int64_t(Item->CellWidth()) * P.AnimeIndex;
        int64_t Sy = int64_t(Item->CellHeight()) * P.FocusIndex;
        if (Sy < 0 || Sy > Item->Picture->Height())
            continue;
        Item->Picture->DrawTo(Dest, P.Left, P.Top, P.Width, P.Height, int(Sx), int(Sy));
    }
}

bool TDynamicLayer::AnimateItems() {
    bool Changed = false;
    for (TDynamicLayerList* Item = Items; Item; Item = Item->Older) {
        TDLProperty& P = Item->Property;
        bool Runs = P.Image.AnimeType == TDLAnimeType::Repeat ||
                    (P.Image.AnimeType == TDLAnimeType::Once && P.AnimeIndex > 0);
        if (!Runs)
            continue;
        int32_t Next = P.AnimeIndex + 1;
        if (Next >= P.Image.AnimeCount)
            Next = 0;
        if (Next != P.AnimeIndex)
            Changed = true;
        P.AnimeIndex = Next;
    }
    return Changed;
}

bool TDynamicLayer::UpdateTimerItems(int32_t Seconds) {
    bool Changed = false;
    for (TDynamicLayerList* Item = Items; Item; Item = Item->Older) {
        TDLProperty& P = Item->Property;
        if (P.Image.AnimeType != TDLAnimeType::Timer)
            continue;
        int32_t Index;
        if (Seconds <= 0) {
            P.Image.AnimeType = TDLAnimeType::None;
            P.AttrID = DLAttrTimeUp;
            Index = 0;
        } else {
            Index = std::max<int64_t>(int64_t(P.Image.AnimeCount) - Seconds, 0);
        }
        if (Index != P.AnimeIndex)
            Changed = true;
        P.AnimeIndex = Index;
    }
    return Changed;
}

bool TDynamicLayer::HoverTest(int X, int Y, bool WaitingActive) {
    bool Changed = false;
    bool Shadowed = false;
    for (TDynamicLayerList* Item = Items; Item; Item = Item->Older) {
        if (Shadowed || !IsHit(*Item, X, Y)) {
            Changed |= MakeIdle(*Item);
            continue;
        }
        Shadowed = true;
        TDLProperty& P = Item->Property;
        if (P.Status == TDLStatus::Idle &&
            (WaitingActive || P.ActiveMode == TDLActiveMode::Always)) {
            P.Status = TDLStatus::Active;
            Changed = true;
            if (P.Image.AnimeType == TDLAnimeType::Once && P.Image.AnimeCount > 1)
                P.AnimeIndex = 1;
        }
    }
    return Changed;
}

bool TDynamicLayer::FocusWantsCursor() const {
    for (const TDynamicLayerList* Item = Items; Item; Item = Item->Older)
        if (Item->Property.Status == TDLStatus::Active)
            return Item->Property.Clickable.Cursor;
    return false;
}

bool TDynamicLayer::TakeClicked(TDLClickTarget& Target) {
    TDynamicLayerList* Active = Items;
    while (Active && Active->Property.Status != TDLStatus::Active)
        Active = Active->Older;
    if (!Active)
        return false;
    const TDLProperty& P = Active->Property;
    Target.BookName = P.Clickable.BookName;
    Target.PageName = P.Clickable.PageName;
    Target.PageChange = P.Clickable.PageChange;
    if (P.Clickable.AutoClear)
        RemoveByAttr(P.AttrID); // frees `Active` too
    DeactivateAll();
    return true;
}

bool TDynamicLayer::DeactivateAll() {
    bool Changed = false;
    for (TDynamicLayerList* Item = Items; Item; Item = Item->Older)
        Changed |= MakeIdle(*Item);
    return Changed;
}

} // namespace narvo

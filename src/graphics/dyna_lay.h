// The dynamic items of one screen: kept in stacking order (the top item is `Items`, the
// chain goes down through `Older` and up through `Newer`), drawn onto the frame over the
// composed layers, tested against the mouse, animated every half second, and asked for
// the click of the active item. The dynamic layer owns its items.
#pragma once

#include "graphics/dyna_lst.h"

#include <cstdint>
#include <memory>
#include <string>

namespace narvo {

// What a click on an active item asks for.
struct TDLClickTarget {
    std::string BookName;
    std::string PageName;
    TDLPageChange PageChange = TDLPageChange::Move;
};

class TDynamicLayer {
  public:
    TDynamicLayer() = default;
    ~TDynamicLayer();
    TDynamicLayer(const TDynamicLayer&) = delete;
    TDynamicLayer& operator=(const TDynamicLayer&) = delete;

    // The item becomes the top item.
    void AddItem(std::unique_ptr<TDynamicLayerList> Item);
    // Frees every item of that attribute; true when any was removed.
    bool RemoveByAttr(int32_t AttrID);
    void ClearItems();
    int ItemCount() const;

    // Draws every item that has a picture, bottom item first, in its current frame and
    // the row of its status.
    void DrawItems(TLasGraphic& Dest);
    // One animation tick; true when a shown frame changed.
    bool AnimateItems();
    // Sets the timer gauges to the seconds left; at 0 they stop and take attribute 2000.
    bool UpdateTimerItems(int32_t Seconds);
    // Follows the mouse at (X, Y): the top item hit becomes active when it may, and every
    // other active item becomes idle. `WaitingActive` is true while the process waits
    // for a click on an active item. True when a status changed.
    bool HoverTest(int X, int Y, bool WaitingActive);
    // The `Cursor` flag of the top active item; false when none is active.
    bool FocusWantsCursor() const;
    // The click of the top active item: its target, then with `AutoClear` every item of
    // its attribute is removed, then every item is made idle. False, changing nothing,
    // when no item is active.
    bool TakeClicked(TDLClickTarget& Target);
    // Every active item becomes idle; true when any was active.
    bool DeactivateAll();

    TDynamicLayerList* Items = nullptr; // the top item; null when there are none

  private:
    TDynamicLayerList* Bottom() const;
};

} // namespace narvo

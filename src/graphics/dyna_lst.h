// One dynamic item: a picture or text that a work places over the layer stack at run
// time (buttons, choices, gauges, wait markers), with its rectangle, a picture cut into a
// grid of frames (columns are animation frames, rows are the looks of its statuses), a
// status that follows the mouse, an animation and a click target. The per-screen chain
// of items lives in `TDynamicLayer` (dyna_lay.h), which owns them.
#pragma once

#include "graphics/las_grf.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace narvo {

// Where an item reacts to the mouse.
enum class TDLActiveArea : uint8_t { None = 0, Opaque = 1, All = 2 };
// When an item may become active: `Always` whatever the process does; `Disable` and
// `Waiting` alike only while the process waits for a click on an active item.
enum class TDLActiveMode : uint8_t { Disable = 0, Waiting = 1, Always = 2 };
enum class TDLPageChange : uint8_t { Move = 0, Call = 1, KeepCall = 2 };
enum class TDLAnimeType : uint8_t { None = 0, Repeat = 1, Once = 2, Timer = 3 };
enum class TDLStatus : uint8_t { Disable = 0, Idle = 1, Active = 2 };

// The attributes with fixed uses.
constexpr int32_t DLAttrTimeUp = 2000;     // timer gauges whose time has run out
constexpr int32_t DLAttrSelect = 2001;     // choices of a selection
constexpr int32_t DLAttrWaitMarker = 2002; // wait markers inside messages

struct TDLProperty_Focus {
    std::string BookName;
    std::string PageName;
};

struct TDLProperty_Clickable {
    std::string BookName;
    std::string PageName;
    TDLPageChange PageChange = TDLPageChange::Move;
    bool AutoClear = false;
    bool Cursor = true;
};

struct TDLProperty_Image {
    std::string FileName;
    int32_t AnimeCount = 1;  // frames across
    int32_t DivideCount = 1; // rows down
    TDLAnimeType AnimeType = TDLAnimeType::None;
    int32_t IndexDisable = 0;
    int32_t IndexEnable = 0;
    int32_t IndexActive = 0;
    int32_t IndexClick = 0; // kept and saved, never shown
};

struct TDLFontStyle {
    bool Bold = false;
    bool Italic = false;
};

struct TDLProperty_Text {
    std::string Text;
    std::string FontName; // Shift-JIS; "ＭＳ ゴシック" for a new item
    TDLFontStyle FontStyle;
    int32_t FontSize = 16;
    uint32_t FontColor = clBlack;
};

struct TDLProperty {
    int32_t AttrID = 0;
    int32_t Left = 0;
    int32_t Top = 0;
    int32_t Width = 0;
    int32_t Height = 0;
    TDLActiveArea ActiveArea = TDLActiveArea::None;
    TDLActiveMode ActiveMode = TDLActiveMode::Disable;
    TDLProperty_Focus Focus;
    TDLProperty_Clickable Clickable;
    TDLProperty_Image Image;
    TDLProperty_Text Text;
    TDLStatus Status = TDLStatus::Idle;
    int32_t AnimeIndex = 0;
    int32_t FocusIndex = 0;

    TDLProperty();
};

// Loads the picture file of an item (a name from the work) into a surface; false when
// it cannot. The owner of the screen supplies it (the access controller's picture
// loading in the player, a folder of PNG files in tools and tests).
using TDLPictureLoader = std::function<bool(std::string_view Name, TLasGraphic& Into)>;

class TDynamicLayerList {
  public:
    TDynamicLayerList() = default;
    TDynamicLayerList(const TDynamicLayerList&) = delete;
    TDynamicLayerList& operator=(const TDynamicLayerList&) = delete;

    // Makes the picture from the image (a copy of `Loaded`, the rectangle becoming one
    // cell of its grid), else from the text (a strip of the text over a clear row and
    // over a half-transparent blue row), else no picture. False only for an image item
    // without a loaded surface.
    bool BuildPicture(const TLasGraphic* Loaded);
    // `BuildPicture` with the image file loaded through `Load` first (no load for an
    // item without a file name); a failed load is built as a missing surface.
    bool LoadAndBuildPicture(const TDLPictureLoader& Load);

    // Width and height of one cell of the picture's grid (0 without a picture).
    int CellWidth() const;
    int CellHeight() const;

    std::unique_ptr<TLasGraphic> Picture; // absent for an item without image and text
    TDynamicLayerList* Newer = nullptr;   // the item directly above; set by the owner
    TDynamicLayerList* Older = nullptr;   // the item directly below; set by the owner
    TDLProperty Property;

  private:
    void BuildTextStrip();
};

} // namespace narvo

// The page command cache: knows the book and page the interpreter is on, finds the
// commands among the page's stored lines (a command's property lines come before the
// "@" line that names it), gives each its type code and if/else/endif block level, and
// fills a command record for any command by its index. A page is scanned once per
// visit; property lines are read from the scenario store only when a command runs.
#pragma once

#include "interp/cmd_obj.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace narvo {

class IDialogs;
class TNarvoFile;

// Type codes of the command names; any other text is `Unknown`.
namespace CommandCode {
constexpr int32_t Unknown = 0;
constexpr int32_t Rem = 1;
constexpr int32_t If = 2;
constexpr int32_t Else = 3;
constexpr int32_t EndIf = 4;
constexpr int32_t MessageDraw = 5;
constexpr int32_t GraphicDraw = 6;
constexpr int32_t Effect = 7;
constexpr int32_t Music = 8;
constexpr int32_t Sound = 9;
constexpr int32_t MusicStop = 10;
constexpr int32_t ValueCtrl = 11;
constexpr int32_t StringCtrl = 12;
constexpr int32_t LayerCtrl = 13;
constexpr int32_t GraphicCtrl = 14;
constexpr int32_t Wait = 15;
constexpr int32_t Select = 16;
constexpr int32_t Move = 17;
constexpr int32_t Call = 18;
constexpr int32_t Return = 19;
constexpr int32_t DynamicLayer = 20;
constexpr int32_t DynamicLayerClear = 21;
constexpr int32_t WindowShow = 22;
constexpr int32_t StringInput = 23;
constexpr int32_t SaveCtrl = 24;
constexpr int32_t System = 25;
constexpr int32_t Count = 26;
} // namespace CommandCode

class TCommandCtrl {
public:
    // A page holds at most this many commands.
    static constexpr int MaxCommands = 500;

    // `NarvoFile` may be attached later; a build without one reports an error.
    explicit TCommandCtrl(IDialogs& Dialogs, TNarvoFile* NarvoFile = nullptr);

    void SetNarvoFile(TNarvoFile* NarvoFile);
    TNarvoFile* NarvoFile() const { return NarvoFile_; }

    // A change of book or page makes the cache stale; the same name keeps it.
    void SetBookName(std::string_view Book);
    void SetPageName(std::string_view Page);
    const std::string& BookName() const { return BookName_; }
    const std::string& PageName() const { return PageName_; }
    bool CacheStale() const { return CacheStale_; }

    int32_t CommandCount();
    // False, the record untouched, when `Index` is outside the page's commands.
    bool GetCommand(int32_t Index, TNarvoCommand& Command);
    // -1 when `Index` is outside the page's commands.
    int32_t GetBlockLevel(int32_t Index);
    // The marker line of a command exactly as stored (traces and the debug view); empty
    // when `Index` is outside the page's commands.
    std::string GetMarkerLine(int32_t Index);
    // Scans the current page. False when it could not be read (no store, or more than
    // `MaxCommands` commands); the error box has been shown and the cache stays stale.
    bool Make_CommandCache();

    // The type code of a marker line, compared whole and byte for byte.
    static int32_t CommandType(std::string_view Text);

private:
    struct TEntry {
        int32_t Line;
        int32_t Type;
        int32_t Level;
    };

    void EnsureCache();

    IDialogs& Dialogs_;
    TNarvoFile* NarvoFile_;
    std::string BookName_;
    std::string PageName_;
    bool CacheStale_ = true;
    std::vector<TEntry> Entries_;
    int32_t Count_ = 0;
};

} // namespace narvo

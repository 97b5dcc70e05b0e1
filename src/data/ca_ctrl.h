// The player's hub for everything that comes from files: it opens the work (a package,
// an executable with a package after it, or a plain scenario file), checks its header,
// settles the data directory and unpacks marked files into it, merges the runtime
// library's system book, holds a save file being read, finds media files and reads
// name=value entries from the containers. It owns the interpreter's state and holds the
// playing position: book and page in the command cache, the command index here.
#pragma once

#include "data/cf2_ctrl.h"
#include "data/pkg.h"
#include "data/tsplug.h"
#include "graphics/lay_ctrl.h"
#include "interp/cmdctrl3.h"
#include "interp/cp_ctrl.h"
#include "interp/cp_stack.h"
#include "vars/var_ctrl.h"

#include <string>

namespace narvo {

class TBitmap;
class TLasGraphic;
class TPlatform;
class TRandom;

class TNarvoAccessControl {
public:
    // The text `ResolveMediaFile` answers for a file that is nowhere.
    static constexpr const char* NoEntry = "No Entry";

    TNarvoAccessControl(TPlatform& Platform, TRandom& Random);
    ~TNarvoAccessControl();
    TNarvoAccessControl(const TNarvoAccessControl&) = delete;
    TNarvoAccessControl& operator=(const TNarvoAccessControl&) = delete;

    PkgReader PackageArchive;
    PkgReader LibraryArchive;
    PkgReader SaveArchive;
    TNarvoFile NarvoFile;
    TNarvoProcessStack Stack;
    TNarvoProcess Process;
    TCommandCtrl CommandCtrl;
    TVariableCtrl Variables;
    TLayerCtrl LayerCtrl;
    TSusiePlugIn SusiePlugIn;
    std::string PackagePath;      // UTF-8 path as given
    std::string PackageDirectory; // ends in "/"
    std::string DataDirectory;    // ends in "/"; empty until the package is open
    int32_t CommandIndex = 0;
    uint8_t PlugInsOpen = 0;
    int32_t WindowLeft = 0;
    int32_t WindowTop = 0;
    std::string SystemFont;       // Shift-JIS face name
    // Where the image plug-ins are looked for; empty means the player's own folder.
    std::string PlugInDirectory;

    bool OpenPackage(const std::string& Path);
    bool OpenLibrary(const std::string& Path);
    void CloseLibrary();
    void ClosePackage();
    bool OpenSaveFile(const std::string& Path);
    void CloseSaveFile();

    // The entry from the held save file, else the package, else the library.
    bool LoadInfoList(std::string_view Name, TStringList& List);
    // Full path of a work's media file in the data directory, else beside the package,
    // else "No Entry".
    std::string ResolveMediaFile(std::string_view Name);

    // Pictures (ca_image.cpp). A picture comes from the held save file, else the
    // package (or, without one, a disk file), else the library. PNG goes straight into
    // the surface; everything else through a platform bitmap.
    bool LoadImage(std::string_view Name, TLasGraphic& Graphic);
    bool LoadBitmapFromArchive(std::string_view Name, TBitmap& Bitmap, PkgReader& Archive);
    bool LoadBitmapFromFile(std::string_view Name, TBitmap& Bitmap);
    // Opens the plug-ins once, on the first picture that needs them; closing the package
    // closes them.
    void SetPlugInsActive(bool On);

    // The jumps of the interpreter.
    void MovePage(std::string_view Book, std::string_view Page);
    void CallPage(std::string_view Book, std::string_view Page);
    void CallPageKeepState(std::string_view Book, std::string_view Page);
    bool ReturnPage();

    void DumpPosition(TStringList& List);

private:
    bool OpenSource(const std::string& Path);
    bool CheckHeader();
    bool AskAbortIgnore(const std::string& SjisText);
    void ExtractFiles(const std::string& Path);
    void ExtractEntry(int Index);
    bool ImportSystemBook();
    void PushReturnPoint(bool KeepState);

    TPlatform& Platform_;
};

} // namespace narvo

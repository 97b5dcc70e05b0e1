// `TSusiePlugIn`: decodes pictures in formats the player does not read itself, through
// image plug-ins: shared libraries with the extension ".spi" (any letter case) that
// export the import-filter functions of data/spi_api.h. It loads every plug-in of a
// folder once, keeps those that declare themselves import filters ("00IN"), and hands a
// picture in memory to each in turn until one decodes it.
#pragma once

#include "data/spi_api.h"
#include "platform/dynlib.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace narvo {

class TBitmap;

// One loaded plug-in.
struct TPlug {
    std::unique_ptr<TDynamicLibrary> Module;
    std::string Path;
    std::string Version;   // info 0, "00IN" for import filters
    std::string Name;      // info 1
    std::string Extension; // info 2, upper-cased ("*.JPG;*.JPEG")
    std::string TypeName;  // info 3
    SpiGetPluginInfo GetPluginInfo = nullptr;
    SpiGetPictureInfo GetPictureInfo = nullptr; // looked up, never called
    SpiIsSupported IsSupported = nullptr;
    SpiGetPicture GetPicture = nullptr;
};

class TSusiePlugIn {
  public:
    // Progress of a decoding: sender, numerator, denominator.
    using TWorking = std::function<void(TSusiePlugIn& Sender, int Numerator, int Denominator)>;

    TSusiePlugIn() = default;
    ~TSusiePlugIn();
    TSusiePlugIn(const TSusiePlugIn&) = delete;
    TSusiePlugIn& operator=(const TSusiePlugIn&) = delete;

    // `Pattern` is a folder and a file pattern ("/opt/narvo/*.SPI"). Loads the plug-ins
    // found there that are not loaded yet; answers how many this call added.
    int OpenPlugIn(const std::string& Pattern);
    // Unloads every plug-in; answers 1.
    int ClosePlugIn();
    int GetPlugNum() const { return int(PlugIns.size()); }
    // The plug-in at `Index`, or null.
    const TPlug* GetPlugInInfo(int Index) const;
    // 0 when a plug-in of exactly that path is loaded, otherwise -1.
    int CheckPlug(const std::string& Path) const;

    // Non-zero when a plug-in decoded the file (given to it in memory).
    int LoadFromFile(const std::string& Path, TBitmap& Bitmap);
    // -1 when a plug-in decoded the picture, 0 otherwise.
    int LoadFromMemory(const void* Data, size_t Size, TBitmap* Bitmap);
    // `LoadFromMemory` of the stream's bytes, `Size` of them.
    int LoadFromStream(const std::string& Stream, size_t Size, TBitmap& Bitmap);

    bool AutoSusie = false; // the player makes the loader in code: no automatic search
    TWorking OnWorking;
    std::vector<std::unique_ptr<TPlug>> PlugIns;
    // File-dialog filter text, extended by each plug-in; kept for tools.
    std::string Filter = "AllType   [*.*]|*.*|";

  private:
    static int Progress(int Numerator, int Denominator, intptr_t UserData);
};

} // namespace narvo

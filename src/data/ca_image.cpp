// Picture loading of the access controller: which container a picture comes from, and
// which decoder reads it.
#include "data/ca_ctrl.h"

#include "data/m2bc.h"
#include "graphics/las_grf.h"
#include "platform/bitmap.h"
#include "platform/files.h"
#include "platform/platform.h"

#include <unistd.h>

namespace narvo {

namespace {

// The extension of a work's file name (from its last "." after the last folder
// separator), walking Shift-JIS characters so that a trail byte 0x5C is no separator.
std::string_view ExtensionOf(std::string_view Name) {
    size_t Dot = std::string_view::npos;
    for (size_t I = 0; I < Name.size(); I += SjisCharLength(Name, I)) {
        if (Name[I] == '.')
            Dot = I;
        else if (Name[I] == '\\' || Name[I] == '/')
            Dot = std::string_view::npos;
    }
    return Dot == std::string_view::npos ? std::string_view() : Name.substr(Dot);
}

bool HasExtension(std::string_view Name, std::string_view Extension) {
    return SameTextAscii(ExtensionOf(Name), Extension);
}

std::string OwnFolder() {
    char Buffer[4096];
    ssize_t Length = readlink("/proc/self/exe", Buffer, sizeof Buffer - 1);
    if (Length <= 0)
        return "./";
    return ExtractFileDir(std::string(Buffer, size_t(Length)));
}

} // namespace

bool TNarvoAccessControl::LoadImage(std::string_view Name, TLasGraphic& Graphic) {
    if (HasExtension(Name, ".png")) {
        bool Loaded = SaveArchive.File && Graphic.LoadPngEntry(Name, SaveArchive);
        if (!Loaded) {
            if (PackageArchive.File)
                Loaded = Graphic.LoadPngEntry(Name, PackageArchive);
            else
                Loaded = Graphic.LoadPngFile(ResolveMediaFile(Name));
        }
        if (!Loaded && LibraryArchive.File)
            Loaded = Graphic.LoadPngEntry(Name, LibraryArchive);
        return Loaded;
    }
    TBitmap Bitmap;
    bool Loaded = SaveArchive.File && LoadBitmapFromArchive(Name, Bitmap, SaveArchive);
    if (!Loaded) {
        if (PackageArchive.File)
            Loaded = LoadBitmapFromArchive(Name, Bitmap, PackageArchive);
        else
            Loaded = LoadBitmapFromFile(Name, Bitmap);
    }
    if (!Loaded && LibraryArchive.File)
        Loaded = LoadBitmapFromArchive(Name, Bitmap, LibraryArchive);
    if (Loaded)
        Graphic.AssignGraphic(Bitmap.Picture);
    return Loaded;
}

// MAG data inside a container goes to the plug-ins like any other format: the converter
// reads files only.
bool TNarvoAccessControl::LoadBitmapFromArchive(std::string_view Name, TBitmap& Bitmap,
                                                PkgReader& Archive) {
    std::string Stream;
    if (!pkg_extract(Stream, Name, Archive))
        return false;
    // A damaged BMP is a picture that did not load, not a success with nothing in it.
    if (HasExtension(Name, ".bmp"))
        return bool(Bitmap.LoadFromStream(Stream));
    if (!PlugInsOpen)
        SetPlugInsActive(true);
    return SusiePlugIn.LoadFromStream(Stream, Stream.size(), Bitmap) != 0;
}

bool TNarvoAccessControl::LoadBitmapFromFile(std::string_view Name, TBitmap& Bitmap) {
    std::string Path = ResolveMediaFile(Name);
    if (Path == NoEntry)
        return false;
    bool Loaded = false;
    if (HasExtension(Name, ".bmp"))
        Loaded = bool(Bitmap.LoadFromFile(Path));
    else if (HasExtension(Name, ".mag"))
        Loaded = TM2BC(&Platform_.Dialogs()).LoadToBitmap(Path, Bitmap);
    // A MAG file the converter refuses still gets a chance with the plug-ins.
    if (!Loaded) {
        if (!PlugInsOpen)
            SetPlugInsActive(true);
        Loaded = SusiePlugIn.LoadFromFile(Path, Bitmap) != 0;
    }
    return Loaded;
}

void TNarvoAccessControl::SetPlugInsActive(bool On) {
    if (uint8_t(On) == PlugInsOpen)
        return;
    if (On)
        SusiePlugIn.OpenPlugIn(
            (PlugInDirectory.empty() ? OwnFolder() : JoinPath(PlugInDirectory, "")) + "*.SPI");
    else
        SusiePlugIn.ClosePlugIn();
    PlugInsOpen = On;
}

} // namespace narvo

// narvo-tool image FILE OUT.png: decodes a picture the way the player does for a disk
// file and writes it as an RGBA PNG whose alpha is the picture's mask (opaque where it
// has none). PNG goes to the surface's decoder, BMP to the platform bitmap, MAG through
// the converter, and everything else (and a MAG the converter refuses) to the image
// plug-ins beside narvo-tool.
#include "tool_commands.h"

#include "data/m2bc.h"
#include "data/tsplug.h"
#include "graphics/las_grf.h"
#include "graphics/png_io.h"
#include "platform/bitmap.h"
#include "platform/encoding.h"
#include "platform/files.h"
#include "platform/platform.h"
#include "system/icm_sub.h"

#include <cstdio>
#include <unistd.h>

namespace narvo::tool {

namespace {

// The converter's warning goes to the terminal.
class TStderrDialogs : public IDialogs {
  public:
    TDialogResult MessageBox(TDialogKind Kind, TDialogButtons Buttons, std::string_view SjisText,
                             std::string_view) override {
        std::fprintf(stderr, "narvo-tool image: %s: %s\n", DialogKindName(Kind),
                     SjisToUtf8(SjisText).c_str());
        return DialogButtonList(Buttons).front();
    }
    std::optional<std::string> InputBox(std::string_view, std::string_view,
                                        std::string_view) override {
        return std::nullopt;
    }
};

std::string OwnFolder() {
    char Buffer[4096];
    ssize_t Length = readlink("/proc/self/exe", Buffer, sizeof Buffer - 1);
    if (Length <= 0)
        return "./";
    return ExtractFileDir(std::string(Buffer, size_t(Length)));
}

std::string Extension(const std::string& Path) {
    std::string Name = ExtractFileName(Path);
    size_t Dot = Name.rfind('.');
    return Dot == std::string::npos ? std::string() : Name.substr(Dot);
}

bool Decode(const std::string& Path, TLasGraphic& Picture, std::string& Why) {
    const std::string Ext = Extension(Path);
    if (SameTextAscii(Ext, ".png")) {
        Why = "not a readable PNG picture";
        return Picture.LoadPngFile(Path);
    }
    TBitmap Bitmap;
    bool Loaded = false;
    if (SameTextAscii(Ext, ".bmp")) {
        TResult R = Bitmap.LoadFromFile(Path);
        Loaded = R.Ok;
        Why = R.Message;
    } else {
        if (SameTextAscii(Ext, ".mag")) {
            TStderrDialogs Dialogs;
            Loaded = TM2BC(&Dialogs).LoadToBitmap(Path, Bitmap);
            Why = "not a MAG picture the converter reads";
        }
        if (!Loaded) {
            TSusiePlugIn PlugIns;
            int Count = PlugIns.OpenPlugIn(OwnFolder() + "*.SPI");
            Loaded = PlugIns.LoadFromFile(Path, Bitmap) != 0;
            if (!Loaded)
                Why += std::string(Why.empty() ? "" : "; ") + "none of the " +
                       std::to_string(Count) + " image plug-ins decodes it";
        }
    }
    if (Loaded)
        Picture.AssignGraphic(Bitmap.Picture);
    return Loaded;
}

} // namespace

int RunImageTool(const TArgs& Args) {
    if (Args.size() != 2) {
        std::fprintf(stderr, "usage: narvo-tool image FILE OUT.png\n");
        return 2;
    }
    TLasGraphic Picture;
    std::string Why;
    if (!Decode(Args[0], Picture, Why)) {
        std::fprintf(stderr, "narvo-tool image: cannot decode '%s' (%s)\n", Args[0].c_str(),
                     Why.c_str());
        return 1;
    }
    TResult Saved = SavePngFile(Args[1], Picture);
    if (!Saved) {
        std::fprintf(stderr, "narvo-tool image: %s\n", Saved.Message.c_str());
        return 1;
    }
    return 0;
}

} // namespace narvo::tool

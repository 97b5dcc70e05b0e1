// narvo-tool text: lays a text out like a message layer and writes each page as a
// picture (the mask as alpha); with --events it prints each page's reveal events.
#include "tool_commands.h"

#include "graphics/las_grf.h"
#include "graphics/png_io.h"
#include "platform/encoding.h"
#include "platform/files.h"
#include "system/icm_sub.h"

#include <cstdio>

namespace narvo::tool {

namespace {

int Usage() {
    std::fprintf(stderr,
                 "usage: narvo-tool text [--width W] [--height H] [--face NAME] [--size PT] "
                 "[--events] TEXT|@FILE OUT.png\n"
                 "  TEXT is UTF-8; @FILE names a file of Shift-JIS bytes\n");
    return 2;
}

// OUT.png for the first page, then OUT-2.png, OUT-3.png, ...
std::string PagePath(const std::string& Out, int Page) {
    if (Page == 1) return Out;
    std::string Stem = Out;
    if (Stem.size() > 4 && SameTextAscii(std::string_view(Stem).substr(Stem.size() - 4), ".png"))
        Stem.resize(Stem.size() - 4);
    return Stem + "-" + std::to_string(Page) + ".png";
}

} // namespace

int RunTextTool(const TArgs& Args) {
    int Width = 640, Height = 480, Size = 16;
    std::string Face;
    bool Events = false;
    std::vector<std::string> Plain;
    for (size_t I = 0; I < Args.size(); ++I) {
        const std::string& A = Args[I];
        auto Value = [&]() -> const std::string* { return I + 1 < Args.size() ? &Args[++I] : nullptr; };
        if (A == "--events") {
            Events = true;
        } else if (A == "--width" || A == "--height" || A == "--size") {
            const std::string* V = Value();
            int N = V ? TextToInt(*V, -1) : -1;
            if (N <= 0 || N > 16384) return Usage();
            (A == "--width" ? Width : A == "--height" ? Height : Size) = N;
        } else if (A == "--face") {
            const std::string* V = Value();
            if (!V) return Usage();
            Face = Utf8ToSjis(*V);
        } else {
            Plain.push_back(A);
        }
    }
    if (Plain.size() != 2) return Usage();

    std::string Text;
    if (!Plain[0].empty() && Plain[0][0] == '@') {
        std::string Path = Plain[0].substr(1);
        auto Bytes = ReadWholeFile(Path);
        if (!Bytes) {
            std::fprintf(stderr, "narvo-tool text: cannot read '%s'\n", Path.c_str());
            return 1;
        }
        Text = std::move(*Bytes);
    } else {
        bool Replaced = false;
        Text = Utf8ToSjis(Plain[0], &Replaced);
        if (Replaced)
            std::fprintf(stderr, "narvo-tool text: some characters have no Shift-JIS form and became '?'\n");
    }

    TLasGraphic Layer;
    Layer.SetSize(Width, Height);
    Layer.Font.Name = Face;
    Layer.Font.Size = Size;
    Layer.Text = Text;
    for (int Page = 1;; ++Page) {
        Layer.LayoutText();
        if (Events) {
            std::printf("page %d\n", Page);
            for (int I = 0; I < Layer.EventCount; ++I)
                std::printf("%s %d\n", TextEventName(Layer.Events[size_t(I)].Code),
                            int(Layer.Events[size_t(I)].Value));
        }
        std::string Path = PagePath(Plain[1], Page);
        TResult Saved = SavePngFile(Path, Layer);
        if (!Saved) {
            std::fprintf(stderr, "narvo-tool text: %s\n", Saved.Message.c_str());
            return 1;
        }
        if (Layer.Text.empty()) break;
    }
    return 0;
}

} // namespace narvo::tool

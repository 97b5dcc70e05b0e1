// narvo-tool effect: runs one transition between two pictures on the headless clock,
// through a layer screen exactly as the player runs it, and writes every frame the
// effect paints as OUTDIR/NNN-TIME.png (NNN the paint's number from 001, TIME the
// virtual milliseconds since the effect began).
#include "tool_commands.h"

#include "graphics/las_effect.h"
#include "graphics/las_grf.h"
#include "graphics/las_scrn.h"
#include "graphics/png_io.h"
#include "platform/files.h"
#include "platform/headless/headless_platform.h"
#include "system/icm_sub.h"
#include "system/random.h"

#include <algorithm>
#include <cstdio>
#include <optional>

namespace narvo::tool {

namespace {

int Usage() {
    std::fprintf(
        stderr, "usage: narvo-tool effect NAME FROM.png TO.png OUTDIR [--area X,Y,W,H] [--seed N]\n"
                "  NAME: Fadein, LeftTo, TopTo, RndPanel, Blind, Square, Wave or Mosaic\n"
                "  --area limits the effect to a rectangle (W or H of 0 or less: to the edge)\n"
                "  --seed seeds the generator that orders the panels of RndPanel (default 0)\n");
    return 2;
}

struct TArea {
    int X = 0, Y = 0, W = 0, H = 0;
};

// "X,Y,W,H" of decimal integers.
std::optional<TArea> ParseArea(const std::string& Text) {
    int32_t V[4];
    size_t Pos = 0;
    for (int I = 0; I < 4; ++I) {
        size_t Comma = I < 3 ? Text.find(',', Pos) : Text.size();
        if (Comma == std::string::npos)
            return std::nullopt;
        constexpr int32_t Bad = INT32_MIN;
        V[I] = TextToInt(std::string_view(Text).substr(Pos, Comma - Pos), Bad);
        if (V[I] == Bad)
            return std::nullopt;
        Pos = Comma + 1;
    }
    return TArea{V[0], V[1], V[2], V[3]};
}

// A picture whose alpha is opaque everywhere is taken as the frame it is: drawn with its
// alpha it would come out a shade darker (weight 255 gives 255/256 of the colour).
bool LoadPicture(const std::string& Path, TLasGraphic& Into) {
    if (!Into.LoadPngFile(Path)) {
        std::fprintf(stderr, "narvo-tool effect: cannot decode '%s' (not a readable PNG picture)\n",
                     Path.c_str());
        return false;
    }
    if (Into.MaskPlane) {
        const std::vector<uint8_t>& Mask = Into.MaskPlane->Bytes;
        if (std::all_of(Mask.begin(), Mask.end(), [](uint8_t M) { return M == 255; }))
            Into.SetAlphaMode(amOpaque);
    }
    return true;
}

} // namespace

int RunEffectTool(const TArgs& Args) {
    std::vector<std::string> Plain;
    TArea Area;
    uint64_t Seed = 0;
    for (size_t I = 0; I < Args.size(); ++I) {
        const std::string& A = Args[I];
        if (A == "--area" || A == "--seed") {
            if (I + 1 >= Args.size())
                return Usage();
            const std::string& V = Args[++I];
            if (A == "--area") {
                std::optional<TArea> Parsed = ParseArea(V);
                if (!Parsed) {
                    std::fprintf(stderr, "narvo-tool effect: --area wants X,Y,W,H, not '%s'\n",
                                 V.c_str());
                    return 2;
                }
                Area = *Parsed;
            } else {
                int32_t N = TextToInt(V, -1);
                if (N < 0)
                    return Usage();
                Seed = uint64_t(N);
            }
        } else if (A.size() > 1 && A[0] == '-') {
            return Usage();
        } else {
            Plain.push_back(A);
        }
    }
    if (Plain.size() != 4)
        return Usage();
    int Number = EffectNumberOfName(Plain[0]);
    if (Number < 0) {
        std::fprintf(stderr, "narvo-tool effect: unknown effect '%s'\n", Plain[0].c_str());
        return Usage();
    }

    TLasGraphic From, To;
    if (!LoadPicture(Plain[1], From) || !LoadPicture(Plain[2], To))
        return 1;
    if (From.Width() != To.Width() || From.Height() != To.Height()) {
        std::fprintf(stderr, "narvo-tool effect: the pictures differ in size (%dx%d and %dx%d)\n",
                     From.Width(), From.Height(), To.Width(), To.Height());
        return 1;
    }
    if (From.Width() == 0 || From.Height() == 0) {
        std::fprintf(stderr, "narvo-tool effect: the pictures are empty\n");
        return 1;
    }
    const std::string& OutDir = Plain[3];
    if (!ForceDirectories(OutDir)) {
        std::fprintf(stderr, "narvo-tool effect: cannot create the folder '%s'\n", OutDir.c_str());
        return 1;
    }

    int W = From.Width(), H = From.Height();
    THeadlessOptions Options;
    Options.Width = W;
    Options.Height = H;
    THeadlessPlatform Platform(Options);
    TRandom Random(Seed);
    TScreenCanvas Canvas(Platform, Random);

    // The pictures stand in one full-size layer over the white base layer, as a
    // background picture would; pictures with alpha show over white.
    TLasScreen Screen(W, H);
    Screen.SetCanvas(&Canvas);
    TLasLayer* Layer = Screen.InsertLayerAfter(*Screen.BaseLayer);
    Layer->Width = W;
    Layer->Height = H;
    Layer->Visible = true;
    Layer->Graphic.Assign(From);
    Screen.Compose();
    Screen.Paint();
    Layer->Graphic.Assign(To);

    uint64_t Start = Platform.Elapsed();
    int Count = 0;
    uint64_t Last = 0;
    bool Failed = false;
    Platform.SetPresentListener([&](const TPicture& Frame) {
        ++Count;
        Last = Platform.Elapsed() - Start;
        char Name[64];
        std::snprintf(Name, sizeof Name, "%03d-%04llu.png", Count,
                      static_cast<unsigned long long>(Last));
        TResult Saved = SavePngFile(JoinPath(OutDir, Name), Frame, nullptr);
        if (!Saved && !Failed) {
            std::fprintf(stderr, "narvo-tool effect: %s\n", Saved.Message.c_str());
            Failed = true;
        }
    });
    Screen.Transition(Number, Area.X, Area.Y, Area.W, Area.H);
    Platform.SetPresentListener(nullptr);
    if (Failed)
        return 1;
    std::printf("%s: %d frames painted, the last at %llu ms; the effect took %llu ms\n",
                Plain[0].c_str(), Count, static_cast<unsigned long long>(Last),
                static_cast<unsigned long long>(Platform.Elapsed() - Start));
    return 0;
}

} // namespace narvo::tool

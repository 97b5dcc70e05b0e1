// Picture loading of the access controller: which container wins, when disk files are
// used, which decoder a name goes to, and when the plug-ins are opened and closed.
#include "data/ca_ctrl.h"
#include "graphics/las_grf.h"
#include "graphics/png_io.h"
#include "mag_encoder.h"
#include "platform/bitmap.h"
#include "platform/files.h"
#include "platform/headless/headless_platform.h"
#include "plugin_files.h"
#include "system/random.h"
#include "test_support.h"

#include <gtest/gtest.h>

namespace narvo {
namespace {

constexpr uint32_t Red = 0xFF0000, Green = 0x00FF00, Blue = 0x0000FF, Grey = 0x808080,
                   Yellow = 0xFFFF00;

std::string PngOf(uint32_t Colour) {
    test::TTempDir Dir;
    EXPECT_TRUE(SavePngFile(Dir / "p.png", TPicture(3, 2, Colour), nullptr));
    return test::ReadFile(Dir / "p.png");
}
std::string BmpOf(uint32_t Colour) {
    return EncodeBmp(TPicture(3, 2, Colour));
}

// A 16-colour MAG picture of one colour, 8 x 2.
std::string MagOf(uint32_t Colour) {
    test::TMagPicture P;
    P.Right = 7, P.Bottom = 1;
    P.Palette.assign(48, 0);
    P.Palette[3] = uint8_t(Colour >> 16), P.Palette[4] = uint8_t(Colour >> 8),
    P.Palette[5] = uint8_t(Colour);
    P.Pixels.assign(P.RowBytes() * P.Lines(), 0x11);
    return test::EncodeMag(P).File;
}

void WriteContainer(const std::string& Path, const char* Magic,
                    std::initializer_list<std::pair<const char*, std::string>> Entries) {
    PkgWriter W;
    pkg_writer_init(W);
    ASSERT_TRUE(pkg_writer_magic(W, Magic));
    ASSERT_TRUE(pkg_create(W, Path));
    for (const auto& [Name, Bytes] : Entries)
        ASSERT_TRUE(pkg_write_stream(W, Bytes, Name));
    ASSERT_TRUE(pkg_finish(W));
}

uint32_t Colour(const TLasGraphic& G) {
    return G.ColourPlane->At(0, 0) & 0x00FFFFFF;
}

// A player's access controller whose header warnings are answered with Ignore.
struct TWork {
    THeadlessPlatform Platform{[] {
        THeadlessOptions O;
        O.DefaultAnswer = TDialogResult::Ignore;
        return O;
    }()};
    TRandom Random;
    TNarvoAccessControl Access{Platform, Random};
    test::TTempDir Dir;
};

TEST(LoadImage, SaveFileBeforePackageBeforeLibraryAndNoDiskFilesBesideAPackage) {
    TWork W;
    WriteContainer(W.Dir / "story.nvp", "NV5PKG",
                   {{"a.png", PngOf(Green)},
                    {"b.png", PngOf(Green)},
                    {"a.bmp", BmpOf(Green)},
                    {"b.bmp", BmpOf(Green)},
                    {"bad.bmp", "BM broken"}});
    WriteContainer(W.Dir / "lib.nvl", "NV5LIB",
                   {{"system.nvf", ""},
                    {"a.png", PngOf(Blue)},
                    {"b.png", PngOf(Blue)},
                    {"c.png", PngOf(Blue)},
                    {"a.bmp", BmpOf(Blue)},
                    {"c.bmp", BmpOf(Blue)}});
    WriteContainer(W.Dir / "save.nvs", "NV5SAVE", {{"a.png", PngOf(Red)}, {"A.BMP", BmpOf(Red)}});
    // Files on disk, in the package's folder and in its data folder, are never used
    // while the package is open.
    test::WriteFile(W.Dir / "d.png", PngOf(Grey));
    test::WriteFile(W.Dir / "d.bmp", BmpOf(Grey));
    ASSERT_TRUE(W.Access.OpenPackage(W.Dir / "story.nvp"));
    W.Access.OpenLibrary(W.Dir / "lib.nvl");
    ASSERT_TRUE(W.Access.LibraryArchive.File);
    ASSERT_TRUE(W.Access.OpenSaveFile(W.Dir / "save.nvs"));

    struct TCase {
        const char* Name;
        bool Loaded;
        uint32_t Colour;
    } Cases[] = {
        {"a.png", true, Red},  {"b.png", true, Green}, {"c.png", true, Blue},
        {"d.png", false, 0},   {"a.bmp", true, Red},   {"B.Bmp", true, Green},
        {"c.bmp", true, Blue}, {"d.bmp", false, 0},    {"bad.bmp", false, 0},
    };
    for (const TCase& C : Cases) {
        SCOPED_TRACE(C.Name);
        TLasGraphic G;
        G.SetSize(5, 5);
        ASSERT_EQ(W.Access.LoadImage(C.Name, G), C.Loaded);
        if (C.Loaded) {
            EXPECT_EQ(G.Width(), 3);
            EXPECT_EQ(Colour(G), C.Colour);
        } else {
            EXPECT_EQ(G.Width(), 5); // the surface keeps what it had
        }
    }
    // Without the save file, the package's pictures show again.
    W.Access.CloseSaveFile();
    TLasGraphic G;
    ASSERT_TRUE(W.Access.LoadImage("a.bmp", G));
    EXPECT_EQ(Colour(G), Green);
    // None of this needed a plug-in.
    EXPECT_EQ(W.Access.PlugInsOpen, 0);
}

TEST(LoadImage, WithoutAPackageDiskFilesByExtension) {
    TWork W;
    test::WriteFile(W.Dir / "work.nvf", "///\r\n");
    ASSERT_TRUE(W.Access.OpenPackage(W.Dir / "work.nvf"));
    ASSERT_FALSE(W.Access.PackageArchive.File);
    ASSERT_TRUE(ForceDirectories(W.Dir / "work"));
    test::WriteFile(W.Dir / "bg.PNG", PngOf(Green));
    test::WriteFile(W.Dir / "work/bg.bmp", BmpOf(Red));
    test::WriteFile(W.Dir / "bg.bmp", BmpOf(Blue)); // the data folder's copy wins
    test::WriteFile(W.Dir / "bg.mag", MagOf(Yellow));
    WriteContainer(W.Dir / "lib.nvl", "NV5LIB", {{"system.nvf", ""}, {"lib.bmp", BmpOf(Grey)}});
    W.Access.OpenLibrary(W.Dir / "lib.nvl");

    struct TCase {
        const char* Name;
        uint32_t Colour;
        int Width;
        TAlphaMode Mode; // PNG keeps its alpha; the rest is copied in opaque
    } Cases[] = {{"bg.PNG", Green, 3, amAlpha},
                 {"bg.bmp", Red, 3, amOpaque},
                 {"bg.mag", Yellow, 8, amOpaque},
                 {"lib.bmp", Grey, 3, amOpaque}};
    for (const TCase& C : Cases) {
        SCOPED_TRACE(C.Name);
        TLasGraphic G;
        ASSERT_TRUE(W.Access.LoadImage(C.Name, G));
        EXPECT_EQ(G.Width(), C.Width);
        EXPECT_EQ(G.AlphaMode, C.Mode);
        EXPECT_EQ(Colour(G), C.Colour);
    }
    EXPECT_EQ(W.Access.PlugInsOpen, 0); // the converter read the MAG file

    // A file that is nowhere asks no plug-in.
    TLasGraphic G;
    EXPECT_FALSE(W.Access.LoadImage("missing.jpg", G));
    EXPECT_EQ(W.Access.PlugInsOpen, 0);
}

TEST(LoadImage, PlugInsOpenOnceForWhatNeedsThemAndCloseWithThePackage) {
    TWork W;
    test::TTempDir PlugIns;
    test::CopyPlugIn(test::FailPlugIn(), PlugIns / "fail.spi");
    test::CopyPlugIn(test::JpegPlugIn(), PlugIns / "jpeg.spi");
    W.Access.PlugInDirectory = PlugIns.Path();
    const std::string Mag = MagOf(Yellow);
    WriteContainer(W.Dir / "story.nvp", "NV5PKG",
                   {{"bg.mag", Mag}, {"photo.jpg", test::SuiteJpeg()}});
    ASSERT_TRUE(W.Access.OpenPackage(W.Dir / "story.nvp"));
    EXPECT_EQ(W.Access.PlugInsOpen, 0);

    // A MAG picture inside a package is the plug-ins' business, not the converter's.
    TLasGraphic G;
    EXPECT_FALSE(W.Access.LoadImage("bg.mag", G));
    ASSERT_EQ(W.Access.PlugInsOpen, 1);
    ASSERT_EQ(W.Access.SusiePlugIn.GetPlugNum(), 2);
    const TPlug* Fail = W.Access.SusiePlugIn.GetPlugInInfo(0);
    EXPECT_EQ(reinterpret_cast<int (*)()>(Fail->Module->FindExport("FailSpiCalls"))(), 1);
    EXPECT_EQ(reinterpret_cast<size_t (*)()>(Fail->Module->FindExport("FailSpiLastLength"))(),
              Mag.size());

    ASSERT_TRUE(W.Access.LoadImage("photo.jpg", G));
    EXPECT_EQ(G.Width(), 127);
    EXPECT_EQ(G.Height(), 64);
    EXPECT_EQ(W.Access.SusiePlugIn.GetPlugNum(), 2); // opened once

    W.Access.ClosePackage();
    EXPECT_EQ(W.Access.PlugInsOpen, 0);
    EXPECT_EQ(W.Access.SusiePlugIn.GetPlugNum(), 0);
}

TEST(LoadImage, AMagFileTheConverterRefusesGoesToThePlugIns) {
    TWork W;
    test::TTempDir PlugIns;
    test::CopyPlugIn(test::JpegPlugIn(), PlugIns / "jpeg.spi");
    W.Access.PlugInDirectory = PlugIns.Path();
    test::WriteFile(W.Dir / "work.nvf", "///\r\n");
    ASSERT_TRUE(W.Access.OpenPackage(W.Dir / "work.nvf"));
    test::WriteFile(W.Dir / "odd.mag", test::SuiteJpeg()); // a JPEG under a MAG name
    TLasGraphic G;
    ASSERT_TRUE(W.Access.LoadImage("odd.mag", G));
    EXPECT_EQ(G.Width(), 127);
    EXPECT_EQ(W.Access.PlugInsOpen, 1);
    EXPECT_TRUE(W.Platform.DialogLog().size() >= 1); // only the header's questions
    for (const TDialogRecord& D : W.Platform.DialogLog())
        EXPECT_NE(D.Text, "Failed by MMAG_MagtoBmp");
}

} // namespace
} // namespace narvo

// narvo-tool image on every picture format the player reads from disk: the BMP Suite's
// good and bad files, MAG pictures of both colour counts, and JPEG through the plug-in
// beside the tool.
#include "graphics/las_grf.h"
#include "mag_encoder.h"
#include "platform/bitmap.h"
#include "plugin_files.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <sys/wait.h>

namespace narvo {
namespace {

int RunImage(const std::string& In, const std::string& Out) {
    std::string Command =
        std::string(NARVO_BUILD_DIR) + "/narvo-tool image '" + In + "' '" + Out + "' 2>/dev/null";
    int Raw = std::system(Command.c_str());
    return WIFEXITED(Raw) ? WEXITSTATUS(Raw) : -1;
}

// The written PNG holds the same colours as the picture, fully opaque.
void ExpectWritten(const std::string& Png, const TPicture& Want) {
    TLasGraphic Written;
    ASSERT_TRUE(Written.LoadPngFile(Png));
    ASSERT_EQ(Written.Width(), Want.Width);
    ASSERT_EQ(Written.Height(), Want.Height);
    for (size_t I = 0; I < Want.Pixels.size(); ++I) {
        ASSERT_EQ(Written.ColourPlane->Pixels[I] & 0xFFFFFF, Want.Pixels[I]) << "pixel " << I;
        ASSERT_EQ(Written.MaskPlane->Bytes[I], 255);
    }
}

TEST(ToolImageFormats, BmpSuiteGoodFilesConvertAndBadOnesAreRefused) {
    test::TTempDir Dir;
    for (const char* Folder : {"g", "b"}) {
        for (const auto& Entry : std::filesystem::directory_iterator(
                 test::DataPath(std::string("bmpsuite/") + Folder))) {
            SCOPED_TRACE(Entry.path().string());
            const std::string Out = Dir / "out.png";
            std::filesystem::remove(Out);
            if (Folder[0] == 'b') {
                EXPECT_EQ(RunImage(Entry.path().string(), Out), 1);
                EXPECT_FALSE(std::filesystem::exists(Out));
                continue;
            }
            ASSERT_EQ(RunImage(Entry.path().string(), Out), 0);
            TBitmap B;
            ASSERT_TRUE(B.LoadFromFile(Entry.path().string()));
            ExpectWritten(Out, B.Picture);
        }
    }
}

TEST(ToolImageFormats, MagAndJpegPictures) {
    test::TTempDir Dir;
    for (bool Colours256 : {false, true}) {
        test::TMagPicture P;
        P.Colours256 = Colours256;
        P.Left = 5, P.Right = 30, P.Bottom = 9;
        for (int I = 0; I < (Colours256 ? 256 : 16); ++I)
            P.Palette.insert(P.Palette.end(), {uint8_t(I * 9), uint8_t(I), 200});
        for (uint32_t I = 0; I < P.RowBytes() * P.Lines(); ++I)
            P.Pixels.push_back(uint8_t(I * 7 / 5));
        test::WriteFile(Dir / "p.mag", test::EncodeMag(P).File);
        ASSERT_EQ(RunImage(Dir / "p.mag", Dir / "mag.png"), 0);
        TLasGraphic G;
        ASSERT_TRUE(G.LoadPngFile(Dir / "mag.png"));
        EXPECT_EQ(uint32_t(G.Width()), P.Width());
        // A cut-off MAG file: the converter warns, no plug-in reads it either.
        const std::string File = test::EncodeMag(P).File;
        test::WriteFile(Dir / "cut.mag", File.substr(0, File.size() - 1));
        EXPECT_EQ(RunImage(Dir / "cut.mag", Dir / "cut.png"), 1);
    }

    const std::string Jpg = test::SuiteJpeg();
    test::WriteFile(Dir / "p.jpg", Jpg);
    ASSERT_EQ(RunImage(Dir / "p.jpg", Dir / "jpg.png"), 0);
    TLasGraphic G;
    ASSERT_TRUE(G.LoadPngFile(Dir / "jpg.png"));
    EXPECT_EQ(G.Width(), 127);
    EXPECT_EQ(G.Height(), 64);
    test::WriteFile(Dir / "bad.jpg", Jpg.substr(0, 200));
    EXPECT_EQ(RunImage(Dir / "bad.jpg", Dir / "bad.png"), 1);
    EXPECT_EQ(RunImage(Dir / "missing.jpg", Dir / "missing.png"), 1);
}

} // namespace
} // namespace narvo

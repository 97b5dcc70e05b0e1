// narvo-tool effect, run as authors run it: one file per painted frame, named by its
// number and virtual time, for every effect; areas; and the refusals.
#include "graphics/las_grf.h"
#include "graphics/png_io.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <sys/wait.h>

namespace narvo {
namespace {

int RunTool(const std::string& Arguments) {
    std::string Command =
        std::string(NARVO_BUILD_DIR) + "/narvo-tool effect " + Arguments + " >/dev/null 2>&1";
    int Raw = std::system(Command.c_str());
    return WIFEXITED(Raw) ? WEXITSTATUS(Raw) : -1;
}

std::vector<std::string> Files(const std::string& Dir) {
    std::vector<std::string> Names;
    for (const auto& E : std::filesystem::directory_iterator(Dir))
        Names.push_back(E.path().filename().string());
    std::sort(Names.begin(), Names.end());
    return Names;
}

void WritePicture(const std::string& Path, int W, int H, uint32_t Xor) {
    TPicture P(W, H);
    for (int Y = 0; Y < H; ++Y)
        for (int X = 0; X < W; ++X)
            P.Row(Y)[X] = (uint32_t(X * 0x10203 + Y * 0x30201) & 0x7F7F7F) ^ Xor;
    ASSERT_TRUE(SavePngFile(Path, P, nullptr));
}

TEST(ToolEffect, WritesEveryPaintedFrameWithItsTime) {
    test::TTempDir Dir;
    WritePicture(Dir / "from.png", 640, 24, 0);
    WritePicture(Dir / "to.png", 640, 24, 0x808080);
    struct {
        const char* Name;
        int Paints, Interval;
    } Cases[] = {
        {"Fadein", 8, 150}, {"LeftTo", 41, 40}, {"TopTo", 11, 40}, {"RndPanel", 13, 30},
        {"Blind", 10, 40},  {"Square", 10, 40}, {"Wave", 21, 100}, {"Mosaic", 9, 200},
    };
    for (const auto& C : Cases) {
        SCOPED_TRACE(C.Name);
        std::string Out = Dir / C.Name;
        ASSERT_EQ(RunTool(std::string(C.Name) + " '" + (Dir / "from.png") + "' '" +
                          (Dir / "to.png") + "' '" + Out + "'"),
                  0);
        std::vector<std::string> Expected;
        for (int I = 0; I < C.Paints; ++I) {
            char Name[32];
            std::snprintf(Name, sizeof Name, "%03d-%04d.png", I + 1, I * C.Interval);
            Expected.push_back(Name);
        }
        EXPECT_EQ(Files(Out), Expected);
    }
    // The last frame of "LeftTo" is the new picture; the first has column 9 of the first
    // sweep only, the second adds column 19 of that sweep and column 8 of the next.
    TLasGraphic To, Last, First, Second;
    ASSERT_TRUE(To.LoadPngFile(Dir / "to.png"));
    ASSERT_TRUE(Last.LoadPngFile(Dir / "LeftTo/041-1600.png"));
    EXPECT_EQ(Last.ColourPlane->Pixels, To.ColourPlane->Pixels);
    ASSERT_TRUE(First.LoadPngFile(Dir / "LeftTo/001-0000.png"));
    for (int X = 0; X < 40; ++X)
        EXPECT_EQ(First.ColourPlane->Row(5)[X] == To.ColourPlane->Row(5)[X], X / 2 == 9) << X;
    ASSERT_TRUE(Second.LoadPngFile(Dir / "LeftTo/002-0040.png"));
    for (int X = 0; X < 60; ++X)
        EXPECT_EQ(Second.ColourPlane->Row(5)[X] == To.ColourPlane->Row(5)[X],
                  X / 2 == 8 || X / 2 == 9 || X / 2 == 19)
            << X;
}

TEST(ToolEffect, AreaAndRefusals) {
    test::TTempDir Dir;
    WritePicture(Dir / "from.png", 64, 48, 0);
    WritePicture(Dir / "to.png", 64, 48, 0x808080);
    WritePicture(Dir / "small.png", 32, 48, 0);
    std::string Pair = " '" + (Dir / "from.png") + "' '" + (Dir / "to.png") + "' ";
    ASSERT_EQ(RunTool("Square" + Pair + "'" + (Dir / "sq") + "' --area 10,8,20,0"), 0);
    TLasGraphic From, To, Last;
    ASSERT_TRUE(From.LoadPngFile(Dir / "from.png"));
    ASSERT_TRUE(To.LoadPngFile(Dir / "to.png"));
    ASSERT_TRUE(Last.LoadPngFile(Dir / "sq/010-0360.png"));
    for (int Y = 0; Y < 48; ++Y)
        for (int X = 0; X < 64; ++X) {
            bool Inside = X >= 10 && X < 30 && Y >= 8; // a height of 0 reaches the bottom
            const TLasGraphic& Want = Inside ? To : From;
            ASSERT_EQ(Last.ColourPlane->Row(Y)[X], Want.ColourPlane->Row(Y)[X]) << X << "," << Y;
        }

    EXPECT_EQ(RunTool("fadein" + Pair + "'" + (Dir / "a") + "'"), 2); // names are exact
    EXPECT_EQ(RunTool("Fadein" + Pair), 2);                           // no folder
    EXPECT_EQ(RunTool("Fadein" + Pair + "'" + (Dir / "a") + "' --area 1,2,3"), 2);
    EXPECT_EQ(RunTool("Fadein" + Pair + "'" + (Dir / "a") + "' --bogus"), 2);
    EXPECT_EQ(RunTool("Fadein '" + (Dir / "from.png") + "' '" + (Dir / "small.png") + "' '" +
                      (Dir / "a") + "'"),
              1);
    EXPECT_EQ(RunTool("Fadein '" + (Dir / "from.png") + "' '" + (Dir / "none.png") + "' '" +
                      (Dir / "a") + "'"),
              1);
    EXPECT_FALSE(std::filesystem::exists(Dir / "a"));
}

} // namespace
} // namespace narvo

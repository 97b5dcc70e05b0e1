// narvo-tool image and text, run as the user runs them.
#include "graphics/las_grf.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <sys/wait.h>

namespace narvo {
namespace {

struct TRun {
    int Status = -1;
    std::string Out;
};

TRun RunTool(const std::string& Arguments) {
    std::string Command = std::string(NARVO_BUILD_DIR) + "/narvo-tool " + Arguments + " 2>/dev/null";
    TRun R;
    FILE* P = popen(Command.c_str(), "r");
    if (!P) return R;
    char Buffer[4096];
    size_t N;
    while ((N = fread(Buffer, 1, sizeof Buffer, P)) > 0) R.Out.append(Buffer, N);
    int Raw = pclose(P);
    R.Status = WIFEXITED(Raw) ? WEXITSTATUS(Raw) : -1;
    return R;
}

TEST(ToolImage, WritesMaskAsAlphaAndRefusesDamage) {
    test::TTempDir Dir;
    std::string In = test::DataPath("pngsuite/tbrn2c08.png");
    ASSERT_EQ(RunTool("image '" + In + "' '" + (Dir / "out.png") + "'").Status, 0);
    TLasGraphic Source, Written;
    ASSERT_TRUE(Source.LoadPngFile(In));
    ASSERT_TRUE(Written.LoadPngFile(Dir / "out.png"));
    ASSERT_EQ(Written.Width(), Source.Width());
    EXPECT_EQ(Written.MaskPlane->Bytes, Source.MaskPlane->Bytes);

    EXPECT_EQ(RunTool("image '" + test::DataPath("pngsuite/xcsn0g01.png") + "' '" + (Dir / "bad.png") + "'").Status, 1);
    EXPECT_EQ(RunTool("image onlyone").Status, 2);
}

TEST(ToolText, PagesAndEvents) {
    test::TTempDir Dir;
    auto R = RunTool("text --events --width 100 --height 30 'あいうえおかきくけこ<W5>' '" + (Dir / "p.png") + "'");
    ASSERT_EQ(R.Status, 0);
    EXPECT_EQ(R.Out.rfind("page 1\nspeednormal 0\ncellx 0\n", 0), 0u);
    EXPECT_NE(R.Out.find("nextpage 30\nend 0\npage 2\n"), std::string::npos);
    EXPECT_NE(R.Out.find("wait 500\n"), std::string::npos);
    TLasGraphic Page;
    EXPECT_TRUE(Page.LoadPngFile(Dir / "p.png"));
    EXPECT_EQ(Page.Width(), 100);
    EXPECT_EQ(Page.AlphaMode, amAlpha);
    EXPECT_TRUE(Page.LoadPngFile(Dir / "p-2.png"));

    test::WriteFile(Dir / "t.txt", test::Sjis("ファイルから"));
    EXPECT_EQ(RunTool("text '@" + (Dir / "t.txt") + "' '" + (Dir / "f.png") + "'").Status, 0);
    EXPECT_EQ(RunTool("text --width x a b").Status, 2);
}

} // namespace
} // namespace narvo

#include "data/cf2_ctrl.h"
#include "graphics/lay_ctrl.h"

#include "data_fakes.h"
#include "test_support.h"

#include <gtest/gtest.h>

namespace narvo {
namespace {

using test::Sjis;

std::string LayerList(const std::vector<std::string>& Lines) {
    std::string Out = "///\r\n<Head=\"LayerList\">\r\n";
    for (const std::string& L : Lines) Out += L + "\r\n";
    return Out + "<Head End>\r\n";
}

TEST(LayerCtrl, ReadsTheWorksLayersAboveTheBackground) {
    struct {
        std::vector<std::string> Settings;
        int32_t Count;
        TStringList Names;
    } Cases[] = {
        {{}, 1, {Sjis("背景レイヤー")}},
        {{"LayerCount=3", "Layer.1.LayerName=" + Sjis("人物")},
         3, {"noname", Sjis("人物"), Sjis("背景レイヤー")}},
        {{"LayerCount=0", "Layer.1.LayerName=x"}, 0, {}},
        {{"LayerCount=-4"}, -4, {}},
        {{"LayerCount=abc"}, 1, {Sjis("背景レイヤー")}},
    };
    for (const auto& Case : Cases) {
        test::TRecordingDialogs Dialogs;
        TNarvoFile File(Dialogs);
        File.LoadFromStream(LayerList(Case.Settings));
        TLayerCtrl Layers;
        Layers.SetScenario(&File);
        EXPECT_EQ(Layers.Count(), Case.Count);
        EXPECT_EQ(Layers.NameList(), Case.Names);
    }
}

TEST(LayerCtrl, KeepsEveryFieldOfADefinition) {
    test::TRecordingDialogs Dialogs;
    TNarvoFile File(Dialogs);
    File.LoadFromStream(LayerList({"LayerCount=2", "Layer.1.LayerName=top",
                                   "Layer.1.FileName=a.png", "Layer.1.Attr=2",
                                   "Layer.1.Left=-5", "Layer.1.Top=$10"}));
    TLayerCtrl Layers;
    Layers.SetScenario(&File);
    const TLayerInfo& Top = Layers.Info(1);
    EXPECT_EQ(Top.LayerName, "top");
    EXPECT_EQ(Top.FileName, "a.png");
    EXPECT_TRUE(Top.Attr);
    EXPECT_EQ(Top.Left, -5);
    EXPECT_EQ(Top.Top, 16);
    const TLayerInfo& Background = Layers.Info(0);
    EXPECT_EQ(Background.LayerName, Sjis("背景レイヤー"));
    EXPECT_TRUE(Background.Attr);
    EXPECT_EQ(TLayerCtrl::GetSectionName(12, TLayerCtrl::TField::Top), "Layer.12.Top");
}

TEST(LayerCtrl, TakesNoMoreThanTheTableHolds) {
    test::TRecordingDialogs Dialogs;
    TNarvoFile File(Dialogs);
    std::vector<std::string> Settings = {"LayerCount=2147483647"};
    for (int N = 1; N <= 40; ++N)
        Settings.push_back("Layer." + std::to_string(N) + ".LayerName=L" + std::to_string(N));
    File.LoadFromStream(LayerList(Settings));
    TLayerCtrl Layers;
    Layers.SetScenario(&File);
    EXPECT_EQ(Layers.DeclaredCount(), 2147483647);
    EXPECT_EQ(Layers.Count(), TLayerCtrl::MaxLayers);
    ASSERT_EQ(Layers.NameList().size(), 32u);
    EXPECT_EQ(Layers.NameList().front(), "L31");
    EXPECT_EQ(Layers.NameList().back(), Sjis("背景レイヤー"));
}

} // namespace
} // namespace narvo

#include "data/cf2_ctrl.h"
#include "interp/cmdctrl3.h"

#include "data_fakes.h"
#include "test_support.h"

#include <gtest/gtest.h>

namespace narvo {
namespace {

using test::TRecordingDialogs;

// A scenario holding one page "main"/"p" with the given lines.
std::string PageText(const std::vector<std::string>& Lines) {
    std::string Out = "///\r\n<Book=\"main\">\r\n<Page=\"p\">\r\n";
    for (const std::string& L : Lines) Out += L + "\r\n";
    return Out + "<Page End>\r\n<Book End>\r\n";
}

struct TFixture {
    TRecordingDialogs Dialogs;
    TNarvoFile File{Dialogs};
    TCommandCtrl Commands{Dialogs, &File};

    explicit TFixture(const std::vector<std::string>& Lines) {
        File.LoadFromStream(PageText(Lines));
        Commands.SetBookName("main");
        Commands.SetPageName("p");
    }
};

TEST(CommandCtrl, GivesEveryNameItsTypeCode) {
    const char* Names[] = {
        "@rem",       "@if",         "@else",        "@endif",        "@MessageDraw",
        "@GraphicDraw", "@Effect",   "@Music",       "@Sound",        "@MusicStop",
        "@ValueCtrl", "@StringCtrl", "@LayerCtrl",   "@GraphicCtrl",  "@Wait",
        "@Select",    "@Move",       "@Call",        "@Return",       "@DynamicLayer",
        "@DynamicLayerClear", "@WindowShow", "@StringInput", "@SaveCtrl", "@System",
    };
    for (int32_t Code = 1; Code <= 25; ++Code)
        EXPECT_EQ(TCommandCtrl::CommandType(Names[Code - 1]), Code) << Names[Code - 1];
    for (const char* Other : {"", "@", "@messagedraw", "@MessageDraw ", " @rem", "@remark",
                              "rem", "@DynamicLayerClea"})
        EXPECT_EQ(TCommandCtrl::CommandType(Other), CommandCode::Unknown) << Other;
}

TEST(CommandCtrl, HandsEachCommandThePropertyLinesBeforeItsMarker) {
    TFixture F({
        "MessageDraw.Text=hello",
        "  messagedraw.wait=1  ",
        "@MessageDraw",
        "@Wait",
        "",
        "Wait.Time=5",
        "  @Wait ",         // counted, but runs as an unknown command
        "Trailing=ignored", // after the last marker: no command's
    });
    ASSERT_EQ(F.Commands.CommandCount(), 3);
    TNarvoCommand C;
    ASSERT_TRUE(F.Commands.GetCommand(0, C));
    EXPECT_EQ(C.Type, CommandCode::MessageDraw);
    EXPECT_EQ(C.Properties, (TStringList{"MessageDraw.Text=hello", "  messagedraw.wait=1  "}));
    ASSERT_TRUE(F.Commands.GetCommand(1, C));
    EXPECT_EQ(C.Type, CommandCode::Wait);
    EXPECT_TRUE(C.Properties.empty());
    ASSERT_TRUE(F.Commands.GetCommand(2, C));
    EXPECT_EQ(C.Type, CommandCode::Unknown);
    EXPECT_EQ(C.Properties, (TStringList{"", "Wait.Time=5"}));

    C.Type = 99;
    EXPECT_FALSE(F.Commands.GetCommand(3, C));
    EXPECT_FALSE(F.Commands.GetCommand(-1, C));
    EXPECT_EQ(C.Type, 99); // untouched
    EXPECT_EQ(F.Commands.GetBlockLevel(3), -1);
    EXPECT_EQ(F.Commands.GetBlockLevel(-1), -1);
    EXPECT_TRUE(F.Dialogs.Boxes.empty());
}

TEST(CommandCtrl, GivesNestedBlocksTheirLevels) {
    TFixture F({"@if", "@if", "@rem", "@else", "@rem", "@endif", "@rem", "@else", "@rem",
                "@endif", " @endif ", "@endif", "@rem"});
    const int32_t Levels[] = {0, 1, 2, 1, 2, 1, 1, 0, 1, 0, -1, -2, -2};
    ASSERT_EQ(F.Commands.CommandCount(), 13);
    for (int I = 0; I < 13; ++I) EXPECT_EQ(F.Commands.GetBlockLevel(I), Levels[I]) << I;
    TNarvoCommand C;
    ASSERT_TRUE(F.Commands.GetCommand(10, C));
    EXPECT_EQ(C.Type, CommandCode::Unknown); // a blank-wrapped marker runs as unknown
    EXPECT_EQ(C.BlockLevel, -1);             // but counts in block matching
}

TEST(CommandCtrl, HoldsAtMost500CommandsAPage) {
    std::vector<std::string> Lines(500, "@rem");
    {
        TFixture F(Lines); // the 500th marker on the last line builds
        EXPECT_EQ(F.Commands.CommandCount(), 500);
        EXPECT_TRUE(F.Dialogs.Boxes.empty());
    }
    Lines.push_back(""); // one more line of any kind does not
    TFixture F(Lines);
    // A page read before keeps no count that could stand for the new page.
    F.File.LoadFromStream(PageText(Lines) +
                          "<Book=\"other\">\r\n<Page=\"q\">\r\n@rem\r\n@rem\r\n"
                          "<Page End>\r\n<Book End>\r\n");
    F.Commands.SetBookName("other");
    F.Commands.SetPageName("q");
    EXPECT_EQ(F.Commands.CommandCount(), 2);
    F.Commands.SetBookName("main");
    F.Commands.SetPageName("p");
    EXPECT_EQ(F.Commands.CommandCount(), 0);
    ASSERT_EQ(F.Dialogs.Boxes.size(), 1u);
    EXPECT_EQ(F.Dialogs.Boxes[0].Text, test::Sjis("１ページあたりのコマンド数が多すぎます"));
    EXPECT_EQ(F.Dialogs.Boxes[0].Kind, TDialogKind::Error);
    EXPECT_TRUE(F.Commands.CacheStale());
    TNarvoCommand C;
    EXPECT_FALSE(F.Commands.GetCommand(0, C));
    EXPECT_EQ(F.Dialogs.Boxes.size(), 2u); // every use builds and reports again
}

TEST(CommandCtrl, KeepsItsCacheForTheSamePageAndRebuildsForAnother) {
    TRecordingDialogs Dialogs;
    TNarvoFile File(Dialogs);
    File.LoadFromStream("<Book=\"b\">\r\n<Page=\"one\">\r\n@rem\r\n<Page End>\r\n"
                        "<Page=\"two\">\r\n@rem\r\n@rem\r\n<Page End>\r\n<Book End>\r\n");
    TCommandCtrl Commands(Dialogs, &File);
    Commands.SetBookName("b");
    Commands.SetPageName("one");
    EXPECT_EQ(Commands.CommandCount(), 1);
    Commands.SetPageName("one");
    EXPECT_FALSE(Commands.CacheStale());
    Commands.SetPageName("two");
    EXPECT_TRUE(Commands.CacheStale());
    EXPECT_EQ(Commands.CommandCount(), 2);
    Commands.SetPageName("missing"); // no page: no commands, no message
    EXPECT_EQ(Commands.CommandCount(), 0);
    EXPECT_TRUE(Dialogs.Boxes.empty());
}

TEST(CommandCtrl, ReportsAMissingStore) {
    TRecordingDialogs Dialogs;
    TCommandCtrl Commands(Dialogs);
    EXPECT_EQ(Commands.CommandCount(), 0);
    ASSERT_EQ(Dialogs.Boxes.size(), 1u);
    EXPECT_EQ(Dialogs.Boxes[0].Text, "Error : Make_CommandCache()\nCan't access \"NarvoFile\"");
    EXPECT_TRUE(Commands.CacheStale());
}

TEST(CommandRecord, ReadsPropertiesByKey) {
    TNarvoCommand C;
    C.Properties = {
        "messagedraw.text=abc", "Select.Page1=",  "Layer.Name=a=b", "Dup=1",
        "Dup=2",                "Ms=500ms",       "Lead= 500",      "Trail=500 ",
        "Two=2",                "Word=abc",       "NoEquals",
    };
    EXPECT_EQ(C.ReadString("MessageDraw.Text", "d"), "abc");
    EXPECT_EQ(C.ReadString("Select.Page1", "d"), "");
    EXPECT_EQ(C.ReadString("Layer.Name", "d"), "a=b");
    EXPECT_EQ(C.ReadInteger("Dup", 0), 1);
    EXPECT_EQ(C.ReadString("NoEquals", "d"), "d");
    struct {
        const char* Key;
        int32_t Integer; // default -1
        bool Bool;       // default false
    } Cases[] = {
        {"Ms", -1, false},  {"Lead", 500, true}, {"Trail", -1, false},
        {"Two", 2, true},   {"Word", -1, false}, {"Select.Page1", -1, false},
        {"Missing", -1, false},
    };
    for (const auto& Case : Cases) {
        EXPECT_EQ(C.ReadInteger(Case.Key, -1), Case.Integer) << Case.Key;
        EXPECT_EQ(C.ReadBool(Case.Key, false), Case.Bool) << Case.Key;
    }
    EXPECT_TRUE(C.ReadBool("Word", true));
}

} // namespace
} // namespace narvo

#include "data/cf2_ctrl.h"
#include "data/pkg.h"
#include "system/random.h"
#include "vars/var_ctrl.h"

#include "data_fakes.h"
#include "test_support.h"

#include <gtest/gtest.h>

namespace narvo {
namespace {

using test::Sjis;

struct TFixture {
    test::TRecordingDialogs Dialogs;
    test::TManualClock Clock;
    TRandom Random{7};
    TNarvoFile File{Dialogs};
    TVariableCtrl Vars{Dialogs, Clock, Random};

    TFixture() {
        File.LoadFromStream("///\r\n<Head=\"Narvo\">\r\nStartPage=" + Sjis("はじめ") +
                            "\r\nCount=12\r\n<Head End>\r\n<Head=\"\">\r\n@Orphan=5\r\n"
                            "<Head End>\r\n<Head=\"S\">\r\nk:x=9\r\n<Head End>\r\n");
        Vars.SetNarvoFile(&File);
    }
};

TEST(Variables, UnsetVariablesReadEmptyAndCreateNothing) {
    TFixture F;
    EXPECT_EQ(F.Vars.Get_Value("%new%"), 0);
    EXPECT_EQ(F.Vars.Get_Text("$new$"), "");
    EXPECT_TRUE(F.Vars.ValueFlags().empty());
    EXPECT_TRUE(F.Vars.StringFlags().empty());
}

TEST(Variables, NamesIgnoreCaseAndKeepTheLastWritesCase) {
    TFixture F;
    F.Vars.Set_Value("%first%", 1);
    F.Vars.Set_Value("%Score%", 5);
    EXPECT_EQ(F.Vars.Get_Value("%score%"), 5);
    F.Vars.Set_Value("%SCORE%", 6);
    EXPECT_EQ(F.Vars.ValueFlags(), (TStringList{"first=1", "SCORE=6"}));
    // String variables are a name space of their own.
    F.Vars.Set_Text("$score$", "text=with=equals");
    EXPECT_EQ(F.Vars.Get_Text("$SCORE$"), "text=with=equals");
    EXPECT_EQ(F.Vars.Get_Value("%Score%"), 6);
    EXPECT_TRUE(F.Dialogs.Boxes.empty());
}

TEST(Variables, WritesNeedTheirMarkerAndNeverReachSystemNames) {
    TFixture F;
    F.Vars.Set_Value("score", 1);
    F.Vars.Set_Text("%name%", "x");
    ASSERT_EQ(F.Dialogs.Boxes.size(), 2u);
    EXPECT_EQ(F.Dialogs.Boxes[0].Text,
              "debug - TVariableCtrl::Set_Value()\r\nsyntax error : VarName=score");
    EXPECT_EQ(F.Dialogs.Boxes[1].Text,
              "debug - TVariableCtrl::Set_Text()\r\nsyntax error : VarName=%name%");
    EXPECT_EQ(F.Dialogs.Boxes[0].Kind, TDialogKind::Plain);
    EXPECT_EQ(F.Dialogs.Boxes[0].Buttons, TDialogButtons::Ok);

    F.Vars.Set_Value("%" + Sjis("@乱数") + "%", 1);
    F.Vars.Set_Value("%@Version%", 1);
    F.Vars.Set_Text("$@ScriptFile$", "x");
    EXPECT_EQ(F.Dialogs.Boxes.size(), 2u);
    EXPECT_TRUE(F.Vars.ValueFlags().empty());
    EXPECT_TRUE(F.Vars.StringFlags().empty());
    EXPECT_EQ(F.Vars.Get_Value("%@Version%"), 3110);

    // Only the first character is tested; the last one is dropped whatever it is.
    F.Vars.Set_Value("%abc", 4);
    EXPECT_EQ(F.Vars.ValueFlags(), TStringList{"ab=4"});
}

TEST(Variables, ReadsOperands) {
    TFixture F;
    F.Vars.Set_Value("%hp%", -3);
    struct {
        const char* Operand;
        int32_t Value;
    } Cases[] = {
        {"42", 42}, {"-7", -7}, {"4 2", 0}, {" 12", 12}, {"12 ", 0}, {"$1F", 31},
        {"abc", 0}, {"", 0},    {"%hp%", -3}, {"%hp", 0}, {"%", 0}, {"hp", 0},
    };
    for (const auto& Case : Cases) EXPECT_EQ(F.Vars.Get_Value(Case.Operand), Case.Value) << Case.Operand;
}

TEST(Variables, SubstitutesReferencesInTwoPasses) {
    TFixture F;
    F.Vars.Set_Value("%hp%", 3);
    F.Vars.Set_Value("%neg%", -12);
    F.Vars.Set_Text("$name$", "%hp%");
    F.Vars.Set_Text("$pct$", "%");
    F.Vars.Set_Text("$who$", Sjis("太郎"));
    const std::string Dollar = Sjis("メッセージ解析エラー：\"$\"の数が合いません。");
    const std::string Percent = Sjis("メッセージ解析エラー：\"%\"の数が合いません。");
    struct {
        std::string Text;
        std::string Result;
    } Cases[] = {
        {"plain text", "plain text"},
        {"$name$!", "3!"},                  // text from the "$" pass is scanned again
        {"hp %hp%, %neg%", "hp 3, -12"},
        {"50%%", "500"},                     // an empty name reads 0
        {"$$", ""},
        {"100%", Percent},
        {"$a$ and %b", Percent},
        {"$a and %b%", Dollar},
        {"$a and %b", Dollar},              // the "$" message wins
        {"rate $pct$ here", Percent},        // a lone "%" held by a string variable
        {Sjis("$who$さん"), Sjis("太郎さん")},
        {"%$who$%", "0"},
    };
    for (const auto& Case : Cases) EXPECT_EQ(F.Vars.Get_Text(Case.Text), Case.Result) << Case.Text;

    // Numbers put in by the "%" pass are not scanned again.
    F.Vars.Set_Value("%a%", 5);
    EXPECT_EQ(F.Vars.Get_Text("%a%%"), Percent);
}

TEST(Variables, AnswersSystemValues) {
    TFixture F;
    F.Clock.Time = {2007, 3, 5, 0, 0, 7, 0, 0};
    struct {
        const char* Name;
        int32_t Value;
    } Numbers[] = {
        {"@年月日", 20070305}, {"@年", 2007}, {"@月", 3}, {"@日", 5}, {"@時分秒", 7},
        {"@時", 0},            {"@分", 0},    {"@秒", 7}, {"@Version", 3110},
        {"@CommandVersion", 19}, {"@version", 0}, {"@Narvo:Count", 12},
        {"@Narvo:StartPage", 0}, {"@S:k:x", 9}, {"@Orphan", 5}, {"@Missing:Key", 0},
    };
    for (const auto& Case : Numbers)
        EXPECT_EQ(F.Vars.Get_Value("%" + Sjis(Case.Name) + "%"), Case.Value) << Case.Name;
    struct {
        const char* Name;
        const char* Text;
    } Texts[] = {
        {"@曜日", "日"},        {"@ScriptFile", "unknown file"}, {"@Narvo:StartPage", "はじめ"},
        {"@Narvo:Count", "12"}, {"@年", ""},                   {"@Narvo:None", ""},
    };
    for (const auto& Case : Texts)
        EXPECT_EQ(F.Vars.Get_Text("$" + Sjis(Case.Name) + "$"), Sjis(Case.Text)) << Case.Name;

    F.Clock.Time = {2006, 12, 25, 9, 30, 5, 0, 1};
    EXPECT_EQ(F.Vars.Get_Text("%" + Sjis("@時分秒") + "%"), "93005");
    EXPECT_EQ(F.Vars.Get_Text("$" + Sjis("@曜日") + "$"), Sjis("月"));
    F.Vars.SetScriptFile("work.nvp");
    EXPECT_EQ(F.Vars.Get_Text("$@ScriptFile$"), "work.nvp");
}

TEST(Variables, RandomValuesStayInRange) {
    TFixture F;
    const std::string Ref = "%" + Sjis("@乱数") + "%";
    bool SawHigh = false;
    for (int I = 0; I < 2000; ++I) {
        int32_t V = F.Vars.Get_Value(Ref);
        ASSERT_GE(V, 0);
        ASSERT_LE(V, 999);
        SawHigh |= V > 900;
    }
    EXPECT_TRUE(SawHigh);
    // The same seed gives the same sequence.
    TRandom A(99), B(99);
    for (int I = 0; I < 10; ++I) EXPECT_EQ(A.Next(), B.Next());
    for (int I = 0; I < 1000; ++I) {
        int32_t V = A.Below(7);
        ASSERT_GE(V, 0);
        ASSERT_LT(V, 7);
    }
}

TEST(Variables, ElapsedTimeSurvivesTheTickWrap) {
    test::TRecordingDialogs Dialogs;
    test::TManualClock Clock;
    Clock.Tick = 0xFFFFFC18u; // 1 s before the wrap
    TRandom Random(1);
    TVariableCtrl Vars(Dialogs, Clock, Random);
    const std::string Ref = "%" + Sjis("@経過時間") + "%";
    EXPECT_EQ(Vars.Get_Value(Ref), 0);
    Clock.Tick += 999;
    EXPECT_EQ(Vars.Get_Value(Ref), 0);
    Clock.Tick += 2001; // past the wrap
    EXPECT_EQ(Vars.Get_Value(Ref), 3);
}

TEST(Variables, SaveEntriesAreTheListTexts) {
    TFixture F;
    F.Vars.Set_Value("%score%", 120);
    F.Vars.Set_Value("%_musicvolume%", 80);
    F.Vars.Set_Text("$name$", "a=b");
    EXPECT_EQ(F.Vars.ValueInfoText(), "score=120\r\n_musicvolume=80\r\n");
    EXPECT_EQ(F.Vars.StringInfoText(), "name=a=b\r\n");

    TVariableCtrl Loaded(F.Dialogs, F.Clock, F.Random);
    Loaded.Set_Value("%old%", 1);
    Loaded.Set_Text("$kept$", "yes");
    Loaded.LoadValueInfoText(F.Vars.ValueInfoText());
    EXPECT_EQ(Loaded.ValueFlags(), F.Vars.ValueFlags()); // replaced, "old" gone
    EXPECT_EQ(Loaded.Get_Text("$kept$"), "yes");
    Loaded.LoadStringInfoText("x=1\ry=2\nz=3");
    EXPECT_EQ(Loaded.StringFlags(), (TStringList{"x=1", "y=2", "z=3"}));

    TStringList Copy = {"head"};
    F.Vars.Copy_Values(Copy);
    F.Vars.Copy_Texts(Copy);
    EXPECT_EQ(Copy, (TStringList{"head", "score=120", "_musicvolume=80", "name=a=b"}));
    EXPECT_EQ(TVariableCtrl(F.Dialogs, F.Clock, F.Random).ValueInfoText(), "");
}

TEST(Variables, SaveAndLoadThroughASaveFile) {
    TFixture F;
    F.Vars.Set_Value("%score%", 120);
    F.Vars.Set_Text("$name$", Sjis("太郎"));
    test::TTempDir Dir;
    const std::string Path = Dir / "save01.sav";
    {
        PkgWriter Writer;
        pkg_writer_init(Writer);
        pkg_writer_magic(Writer, "NV5SAVE");
        Writer.Compressed = 1;
        ASSERT_TRUE(pkg_create(Writer, Path));
        EXPECT_TRUE(F.Vars.SaveInfo(Writer));
        ASSERT_TRUE(pkg_finish(Writer));
    }
    TVariableCtrl Loaded(F.Dialogs, F.Clock, F.Random);
    Loaded.Set_Value("%_musicvolume%", 80);
    Loaded.Set_Text("$kept$", "yes");
    PkgReader Reader;
    ASSERT_TRUE(pkg_open(Path, Reader));
    EXPECT_TRUE(Loaded.LoadInfo(Reader));
    pkg_close(Reader);
    EXPECT_EQ(Loaded.ValueFlags(), TStringList{"score=120"});
    EXPECT_EQ(Loaded.StringFlags(), TStringList{"name=" + Sjis("太郎")});

    // A save file without the string entry leaves the string variables alone.
    const std::string Partial = Dir / "save02.sav";
    {
        PkgWriter Writer;
        pkg_writer_init(Writer);
        pkg_writer_magic(Writer, "NV5SAVE");
        ASSERT_TRUE(pkg_create(Writer, Partial));
        ASSERT_TRUE(pkg_write_strings(Writer, {"a=1"}, "valuevar.info"));
        ASSERT_TRUE(pkg_finish(Writer));
    }
    ASSERT_TRUE(pkg_open(Partial, Reader));
    EXPECT_TRUE(Loaded.LoadInfo(Reader));
    pkg_close(Reader);
    EXPECT_EQ(Loaded.ValueFlags(), TStringList{"a=1"});
    EXPECT_EQ(Loaded.StringFlags(), TStringList{"name=" + Sjis("太郎")});
}

} // namespace
} // namespace narvo

#include "data/cf2_ctrl.h"

#include "data_fakes.h"
#include "test_support.h"

#include <gtest/gtest.h>

namespace narvo {
namespace {

using test::Sjis;
using test::TRecordingDialogs;

// A scenario text from lines, each followed by CR LF.
std::string Text(const std::vector<std::string>& Lines) {
    std::string Out;
    for (const std::string& L : Lines) Out += L + "\r\n";
    return Out;
}

const std::vector<std::string> kMinimal = {
    "/// a work",         "<Head=\"Narvo\">", "FileType=NV5", "<Head End>", "<Book=\"main\">",
    "<Page=\"start\">", "MessageDraw.Text=hi", "@MessageDraw", "<Page End>", "<Book End>",
};

TEST(Scenario, IndexesBlocksInOrderOfTheirEndLines) {
    TRecordingDialogs Dialogs;
    TNarvoFile File(Dialogs);
    File.LoadFromStream(Text(kMinimal));
    EXPECT_EQ(File.BlockIndex(), (TStringList{"Narvo/:1,3", "main/start:5,8", "main:4,9"}));
    EXPECT_FALSE(File.IndexStale());
    EXPECT_TRUE(Dialogs.Boxes.empty());
    EXPECT_EQ(File.GetPageLineCount("main", "start"), 2);
    EXPECT_EQ(File.GetPageLine("main", "start", 1), "@MessageDraw");
    EXPECT_EQ(File.ReadString("Narvo", "FileType", ""), "NV5");
}

TEST(Scenario, ClearedStoreIsAnEmptyScenario) {
    TRecordingDialogs Dialogs;
    TNarvoFile File(Dialogs);
    ASSERT_EQ(File.Lines().size(), 2u);
    for (const std::string& Line : File.Lines()) EXPECT_EQ(Line.rfind("/// ", 0), 0u);
    EXPECT_TRUE(File.BlockIndex().empty());
    EXPECT_FALSE(File.IndexStale());
}

TEST(Scenario, SplitsLinesAtEveryBreakAndStopsAtNul) {
    struct {
        std::string Bytes;
        TStringList Lines;
    } Cases[] = {
        {"a\r\nb\rc\nd", {"a", "b", "c", "d"}},
        {"a\r\n", {"a"}},
        {"a\r\n\r\n", {"a", ""}},
        {"a\n\rb", {"a", "", "b"}},
        {std::string("a\r\nb\0c\r\nd", 9), {"a", "b"}},
        {"", {}},
    };
    for (const auto& Case : Cases) {
        TRecordingDialogs Dialogs;
        TNarvoFile File(Dialogs);
        File.LoadFromStream(Case.Bytes);
        EXPECT_EQ(File.Lines(), Case.Lines) << Case.Bytes;
    }
}

TEST(Scenario, ClassifiesBlockLines) {
    using K = TNarvoFile::TLineKind;
    struct {
        const char* Line;
        K Kind;
    } Cases[] = {
        {"<Head=\"Narvo\">", K::HeadStart},
        {"  \t<Book=\"main\">  ", K::BookStart},
        {"<Page=start>", K::PageStart},
        {"<Head End>", K::HeadEnd},
        {"<Head End", K::HeadEnd},          // the rest after the space is not examined
        {"<Page End of it all>", K::PageEnd},
        {"\t<Book End>\t", K::BookEnd},
        {"<Head>", K::Unknown},             // an end line needs a space after its tag
        {"<Head\tEnd>", K::Unknown},
        {"<Head =\"x\">", K::Unknown},      // a blank before "=" is part of the tag
        {"<head=\"x\">", K::Unknown},       // tags are case-sensitive
        {"<Chapter End>", K::Unknown},
        {"<", K::Unknown},
        {"Key=<value>", K::None},
        {"@MessageDraw", K::None},
        {"", K::None},
        {" \t ", K::None},
    };
    for (const auto& Case : Cases)
        EXPECT_EQ(TNarvoFile::ClassifyLine(Case.Line), Case.Kind) << Case.Line;
}

TEST(Scenario, TakesBlockNamesWithOrWithoutQuotes) {
    struct {
        const char* Line;
        const char* Name;
    } Cases[] = {
        {"<Page=\"start\">", "start"},
        {"<Page=start>", "start"},
        {"  <Page=\"start\">", "start"},
        {"<Page=\"a b\" >", "a b"},
        {"<Page=\"open>", "open"},       // no closing quote: the rest up to ">"
        {"<Page=x\"y\"z>", "y"},
        {"<Page=a=b>", "a=b"},
        {"<Page=\"a>b\">", "a"},          // a name ends at the first ">"
        {"<Page=\"no end", ""},          // no ">": no name
        {"<Page=>", ""},
    };
    for (const auto& Case : Cases) EXPECT_EQ(TNarvoFile::BlockName(Case.Line), Case.Name);
}

TEST(Scenario, StructureErrorsStopTheIndexWithTheirMessage) {
    const std::string Broken = Sjis("ファイルが破損しています\r\n");
    struct {
        std::vector<std::string> Lines;
        std::string Message;
        TStringList IndexKept;
    } Cases[] = {
        {{"<Head=\"a\">", "<Head End>", "<Head=\"b\">", "<Head=\"c\">"},
         Broken + "[Header block miss close flag]", {"a/:0,1"}},
        {{"<Head End>"}, Broken + "[Header block miss start flag]", {}},
        {{"<Book=\"a\">", "<Book=\"b\">"}, Broken + "[Book block miss close flag]", {}},
        {{"<Book=\"a\">", "<Book End>", "<Book End>"},
         Broken + "[Book block miss start flag]", {"a:0,1"}},
        {{"<Page=\"a\">", "<Page=\"b\">"}, Broken + "[Page block miss close flag]", {}},
        {{"<Page End>"}, Broken + "[Page block miss start flag]", {}},
        {{"<Book=\"m\">", "<Page=\"p\">", "<Page End>", " <Chapter> "},
         Sjis("ファイル内に未知のブロックが存在します\r\nファイル保護のため処理を停止します\r\n") +
             " <Chapter> ",
         {"m/p:1,2"}},
    };
    for (const auto& Case : Cases) {
        TRecordingDialogs Dialogs;
        TNarvoFile File(Dialogs);
        File.LoadFromStream(Text(Case.Lines));
        ASSERT_EQ(Dialogs.Boxes.size(), 1u) << Case.Message;
        EXPECT_EQ(Dialogs.Boxes[0].Text, Case.Message);
        EXPECT_EQ(Dialogs.Boxes[0].Kind, TDialogKind::Error);
        EXPECT_EQ(Dialogs.Boxes[0].Buttons, TDialogButtons::Ok);
        EXPECT_EQ(File.BlockIndex(), Case.IndexKept);
        EXPECT_TRUE(File.IndexStale());
    }
}

TEST(Scenario, StoppedBuildRepeatsItsMessageExceptOnCacheHits) {
    TRecordingDialogs Dialogs;
    TNarvoFile Bad(Dialogs);
    Bad.LoadFromStream(Text({"<Book=\"b\">", "<Page=\"p\">", "@x", "<Page End>", "<Book End>",
                             "<Foo>"}));
    ASSERT_EQ(Dialogs.Boxes.size(), 1u);
    // The blocks before the fault are indexed, so the page is found (after another
    // rebuild and message) and then cached.
    EXPECT_EQ(Bad.GetPageLineCount("b", "p"), 1);
    EXPECT_EQ(Dialogs.Boxes.size(), 2u);
    // Cache hits answer without a rebuild.
    EXPECT_EQ(Bad.GetPageLine("b", "p", 0), "@x");
    EXPECT_EQ(Bad.GetPageLineCount("b", "p"), 1);
    EXPECT_EQ(Dialogs.Boxes.size(), 2u);
    // Every other lookup rebuilds and reports again.
    EXPECT_TRUE(Bad.BookExists("b"));
    EXPECT_EQ(Dialogs.Boxes.size(), 3u);
    EXPECT_EQ(Bad.ReadString("Narvo", "FileType", "none"), "none");
    EXPECT_EQ(Dialogs.Boxes.size(), 4u);
    TStringList List;
    Bad.GetPageList("b", List);
    EXPECT_EQ(List, TStringList{"p"});
    EXPECT_EQ(Dialogs.Boxes.size(), 5u);
    // A load of a sound file clears the fault.
    Bad.LoadFromStream(Text(kMinimal));
    EXPECT_FALSE(Bad.IndexStale());
    EXPECT_EQ(Dialogs.Boxes.size(), 5u);
}

TEST(Scenario, BlocksStillOpenAtTheEndAreSilentlyLeftOut) {
    TRecordingDialogs Dialogs;
    TNarvoFile File(Dialogs);
    File.LoadFromStream(Text({"<Book=\"main\">", "<Page=\"p\">", "@x"}));
    EXPECT_TRUE(Dialogs.Boxes.empty());
    EXPECT_TRUE(File.BlockIndex().empty());
    EXPECT_FALSE(File.PageExists("main", "p"));
}

TEST(Scenario, ReadsSettings) {
    TRecordingDialogs Dialogs;
    TNarvoFile File(Dialogs);
    File.LoadFromStream(Text({
        "<Head=\"Narvo\">",
        "FontTypeShadowColor=255",
        "FontTypeShadow=1",
        " Indented=1",
        "Trailing=abc  ",
        "Dup=first",
        "Dup=second",
        "Empty=",
        "Two=2",
        "Word=abc",
        "Formula=a=b",
        "a=b=c",
        "<Head End>",
        "<Head=\"Other\">",
        "Dup=other",
        "<Head End>",
    }));
    struct {
        const char* Section;
        const char* Key;
        const char* String;  // ReadString with default "def"
        int32_t Integer;     // ReadInteger with default -1
        bool Bool;           // ReadBool with default true
    } Cases[] = {
        {"Narvo", "FontTypeShadow", "1", 1, true},
        {"Narvo", "FontTypeShadowColor", "255", 255, true},
        {"Narvo", "FontType", "def", -1, true},        // a prefix of keys is no key
        {"Narvo", "Indented", "def", -1, true},        // a leading blank never matches
        {"Narvo", "Trailing", "abc  ", -1, true},      // trailing blanks are kept
        {"Narvo", "Dup", "first", -1, true},           // the first of duplicates
        {"Narvo", "Empty", "", -1, true},              // empty text, default number
        {"Narvo", "Two", "2", 2, true},
        {"Narvo", "Word", "abc", -1, true},
        {"Narvo", "Formula", "a=b", -1, true},         // "=" in the value
        {"Narvo", "a=b", "c", -1, true},               // a key holding "="
        {"Narvo", "a", "b=c", -1, true},
        {"Narvo", "dup", "def", -1, true},             // keys are case-sensitive
        {"narvo", "Dup", "def", -1, true},             // so are sections
        {"Other", "Dup", "other", -1, true},
        {"Missing", "Dup", "def", -1, true},
    };
    for (const auto& Case : Cases) {
        SCOPED_TRACE(std::string(Case.Section) + ":" + Case.Key);
        EXPECT_EQ(File.ReadString(Case.Section, Case.Key, "def"), Case.String);
        EXPECT_EQ(File.ReadInteger(Case.Section, Case.Key, -1), Case.Integer);
        EXPECT_EQ(File.ReadBool(Case.Section, Case.Key, true), Case.Bool);
    }
    EXPECT_FALSE(File.ReadBool("Narvo", "Empty", false));
    EXPECT_FALSE(File.ReadBool("Narvo", "Word", false));
    EXPECT_TRUE(Dialogs.Boxes.empty());
}

TEST(Scenario, FilesPagesUnderTheLastStartedBook) {
    TRecordingDialogs Dialogs;
    TNarvoFile File(Dialogs);
    File.LoadFromStream(Text({
        "<Page=\"orphan\">", "@rem", "<Page End>",   // before any book: the empty book
        "<Book=\"main\">", "<Page=\"start\">", "<Page End>", "<Book End>",
        "<Page=\"late\">", "@rem", "@rem", "<Page End>", // after main's end: still main
        "<Head=\"main\">", "k=v", "<Head End>",        // a head named like a book
        "<Book=\"second\">",
        "<Head=\"inner\">", "x=1", "<Head End>",       // a head inside a book
        "<Page=\"p\">", "@rem", "<Book End>",          // the book ends while its page is open
        "<Page End>",
    }));
    ASSERT_TRUE(Dialogs.Boxes.empty());
    TStringList List;
    File.GetBookList(List);
    EXPECT_EQ(List, (TStringList{"main", "second"}));
    File.GetPageList("main", List);
    EXPECT_EQ(List, (TStringList{"start", "late"}));
    File.GetPageList("", List);
    EXPECT_EQ(List, TStringList{"orphan"});
    File.GetPageList("second", List);
    EXPECT_EQ(List, TStringList{"p"});

    EXPECT_TRUE(File.PageExists("", "orphan"));
    EXPECT_TRUE(File.PageExists("main", "late"));
    EXPECT_FALSE(File.PageExists("main", ""));      // the head "main" is no page
    EXPECT_FALSE(File.PageExists("main", "orphan"));
    EXPECT_TRUE(File.BookExists("main"));
    EXPECT_FALSE(File.BookExists(""));
    EXPECT_FALSE(File.BookExists("inner"));
    EXPECT_FALSE(File.BookExists("main/start"));

    EXPECT_EQ(File.GetPageLineCount("main", "start"), 0); // adjacent start and end lines
    EXPECT_EQ(File.GetPageLineCount("main", "late"), 2);
    EXPECT_EQ(File.GetPageLineCount("second", "p"), 2);   // runs on past the book's end
    EXPECT_EQ(File.GetPageLine("second", "p", 1), "<Book End>");
    EXPECT_EQ(File.ReadString("main", "k", ""), "v");
    EXPECT_EQ(File.ReadInteger("inner", "x", 0), 1);
    EXPECT_EQ(File.GetPageLineCount("main", "missing"), 0);
    EXPECT_EQ(File.GetPageLine("main", "missing", 0), "");
}

TEST(Scenario, FirstBlockOfAKeyInIndexOrderWins) {
    TRecordingDialogs Dialogs;
    TNarvoFile File(Dialogs);
    File.LoadFromStream(Text({
        "<Book=\"b\">",
        "<Page=\"p\">", "first", "<Page End>",
        "<Page=\"p\">", "second", "second", "<Page End>",
        "<Book End>",
        "<Head=\"h\">", "k=1", "<Head End>",
        "<Head=\"h\">", "k=2", "<Head End>",
    }));
    EXPECT_EQ(File.GetPageLineCount("b", "p"), 1);
    EXPECT_EQ(File.GetPageLine("b", "p", 0), "first");
    EXPECT_EQ(File.ReadString("h", "k", ""), "1");
    TStringList List;
    File.GetPageList("b", List);
    EXPECT_EQ(List, (TStringList{"p", "p"}));
}

TEST(Scenario, NamesHoldingColonsDoNotHideOtherBlocks) {
    TRecordingDialogs Dialogs;
    TNarvoFile File(Dialogs);
    File.LoadFromStream(Text({
        "<Book=\"a:b\">", "<Page=\"p\">", "x", "<Page End>", "<Book End>",
        "<Book=\"a\">", "<Page=\"p\">", "y", "z", "<Page End>", "<Book End>",
    }));
    EXPECT_EQ(File.GetPageLineCount("a:b", "p"), 1);
    EXPECT_EQ(File.GetPageLineCount("a", "p"), 2);
    int Start = 0, End = 0;
    ASSERT_TRUE(File.FindBookBlock("a", Start, End));
    EXPECT_EQ(Start, 5);
    EXPECT_EQ(End, 10);
}

TEST(Scenario, PageReadsOutsideTheFileGiveEmptyText) {
    TRecordingDialogs Dialogs;
    TNarvoFile File(Dialogs);
    File.LoadFromStream(Text(kMinimal));
    EXPECT_EQ(File.GetPageLine("main", "start", 2), "<Page End>"); // past the page: not checked
    EXPECT_EQ(File.GetPageLine("main", "start", 100), "");
    EXPECT_EQ(File.GetPageLine("main", "start", -100), "");
}

TEST(Scenario, ImportsOnlyABookItLacks) {
    TRecordingDialogs Dialogs;
    TNarvoFile Work(Dialogs), Library(Dialogs);
    Work.LoadFromStream(Text(kMinimal));
    Library.LoadFromStream(Text({"<Book=\"_system\">", "<Page=\"_init\">", "@rem", "<Page End>",
                                 "<Book End>", "<Book=\"main\">", "<Page=\"other\">",
                                 "<Page End>", "<Book End>"}));
    const size_t Before = Work.Lines().size();

    Work.ImportBook("main", Library); // already there: nothing, though it differs
    EXPECT_EQ(Work.Lines().size(), Before);
    EXPECT_FALSE(Work.PageExists("main", "other"));
    Work.ImportBook("none", Library);
    EXPECT_EQ(Work.Lines().size(), Before);

    Work.ImportBook("_system", Library);
    EXPECT_EQ(Work.Lines().size(), Before + 5);
    EXPECT_TRUE(Work.PageExists("_system", "_init"));
    EXPECT_EQ(Work.GetPageLine("_system", "_init", 0), "@rem");
    EXPECT_EQ(Work.BlockIndex().back(), "_system:" + std::to_string(Before) + "," +
                                            std::to_string(Before + 4));
    EXPECT_TRUE(Dialogs.Boxes.empty());
}

TEST(Scenario, LoadsFromAFile) {
    test::TTempDir Dir;
    test::WriteFile(Dir / "narvo.nvf", Text(kMinimal));
    TRecordingDialogs Dialogs;
    TNarvoFile File(Dialogs);
    ASSERT_TRUE(File.LoadFromFile(Dir / "narvo.nvf"));
    EXPECT_TRUE(File.PageExists("main", "start"));
    EXPECT_FALSE(File.LoadFromFile(Dir / "missing.nvf"));
    EXPECT_TRUE(File.PageExists("main", "start")); // a failed load changes nothing
}

} // namespace
} // namespace narvo

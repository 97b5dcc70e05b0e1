// Whole works run through the player's own loop on the headless clock: flow control,
// calls and returns, the cost of commands in ticks, start-up with and without the
// runtime library, header checks, the data directory and the unpacking of files.
#include "app/rtm_main.h"
#include "data/pkg.h"
#include "platform/encoding.h"
#include "platform/files.h"
#include "platform/headless/headless_platform.h"
#include "test_support.h"

#include <gtest/gtest.h>

using namespace narvo;
using narvo::test::Sjis;
using narvo::test::TTempDir;

namespace {

const std::string RuntimeLibrary = std::string(NARVO_BUILD_DIR) + "/narvort5.nvl";

// A scenario file from readable UTF-8 lines: Shift-JIS with CR LF line ends.
std::string Scenario(const std::string& Utf8) {
    std::string Out;
    for (const std::string& Line : TextToStringList(Utf8)) Out += Sjis(Line) + "\r\n";
    return Out;
}

std::string Header(const std::string& Extra = "") {
    return "///\n<Head=\"Narvo\">\nFileType=NV5\n" + Extra + "<Head End>\n";
}

std::string StartPage(const std::string& Body) {
    return "<Book=\"スタートブック\">\n<Page=\"スタートページ\">\n" + Body + "<Page End>\n<Book End>\n";
}

struct TRun {
    bool Opened = false;
    bool Finished = false;
    uint64_t EndTime = 0;
    std::vector<std::string> Trace; // "TIME BOOK/PAGE INDEX MARKER" in UTF-8
    std::vector<TDialogRecord> Dialogs;
    TStringList Values;
    TStringList Texts;
    std::string DataDirectory;

    std::string DialogText(size_t I) const { return SjisToUtf8(Dialogs.at(I).Text); }
    std::string Value(const std::string& Name) const { return ReadListString(Values, Name, "-"); }
};

struct TRunOptions {
    std::optional<std::string> Library = RuntimeLibrary;
    THeadlessOptions Headless;
    std::function<void(TfrmMain&, int32_t)> OnCommand;
};

TRun Play(const std::string& WorkPath, TRunOptions Options = {}) {
    if (!Options.Headless.Until) Options.Headless.Until = 60000;
    THeadlessPlatform Platform(Options.Headless);
    TPlayerStart Start;
    Start.PlayerPath = "/nonexistent/narvo";
    Start.PackagePath = WorkPath;
    Start.LibraryPath = Options.Library ? *Options.Library : "/nonexistent/narvort5.nvl";
    TRun Run;
    RunPlayer(
        Platform, Start,
        [&](TfrmMain& Main) {
            Main.OnCommand = [&](int32_t Index, const std::string& Marker) {
                const TCommandCtrl& Commands = Main.AccessControl->CommandCtrl;
                Run.Trace.push_back(std::to_string(Platform.Elapsed()) + " " +
                                    SjisToUtf8(Commands.BookName()) + "/" + SjisToUtf8(Commands.PageName()) +
                                    " " + std::to_string(Index) + " " + SjisToUtf8(Marker));
                if (Options.OnCommand) Options.OnCommand(Main, Index);
            };
        },
        [&](TfrmMain& Main) {
            Run.Opened = Main.PackageOpened();
            Main.AccessControl->Variables.Copy_Values(Run.Values);
            Main.AccessControl->Variables.Copy_Texts(Run.Texts);
            Run.DataDirectory = Main.AccessControl->DataDirectory;
        });
    Run.Finished = Platform.StopReason() == THeadlessPlatform::TStopReason::Terminated;
    Run.EndTime = Platform.Elapsed();
    Run.Dialogs = Platform.DialogLog();
    return Run;
}

TRun PlayScenario(const std::string& Utf8, TRunOptions Options = {}) {
    TTempDir Dir;
    test::WriteFile(Dir / "work.nvf", Scenario(Utf8));
    return Play(Dir / "work.nvf", std::move(Options));
}

std::string SetValue(const std::string& Name, const std::string& Left, const std::string& Calc = "",
                     const std::string& Right = "") {
    return "ValueCtrl.ValueVar=%" + Name + "%\nValueCtrl.LeftValue=" + Left + "\nValueCtrl.Calc=" + Calc +
           "\nValueCtrl.RightValue=" + Right + "\n@ValueCtrl\n";
}

std::string If(const std::string& A, const std::string& Compare, const std::string& B,
               const std::string& Type = "Value") {
    return "if.VariableType=" + Type + "\nif.Compare=" + Compare + "\nif.Variable1=" + A +
           "\nif.Variable2=" + B + "\n@if\n";
}

} // namespace

TEST(Interpreter, SystemInitRunsFirstThenTheStartPage) {
    TRun Run = PlayScenario(Header() + StartPage(SetValue("a", "1")));
    ASSERT_TRUE(Run.Opened);
    EXPECT_TRUE(Run.Finished);
    ASSERT_EQ(Run.Trace.size(), 2u);
    EXPECT_EQ(Run.Trace[0], "200 _system/_init 0 @Return");
    EXPECT_EQ(Run.Trace[1], "200 スタートブック/スタートページ 0 @ValueCtrl");
    EXPECT_EQ(Run.Value("a"), "1");
    EXPECT_TRUE(Run.Dialogs.empty());
}

TEST(Interpreter, WithoutTheRuntimeLibraryPlayStartsOnTheStartPage) {
    TRunOptions Options;
    Options.Library = std::nullopt;
    TRun Run = PlayScenario(Header() + StartPage("@rem\n"), Options);
    ASSERT_EQ(Run.Dialogs.size(), 1u);
    EXPECT_EQ(Run.Dialogs[0].Kind, TDialogKind::Error);
    EXPECT_EQ(Run.DialogText(0), "ナルボライブラリが開けません\r\nCan't open - \"narvort5.nvl\"");
    ASSERT_EQ(Run.Trace.size(), 1u);
    EXPECT_EQ(Run.Trace[0], "200 スタートブック/スタートページ 0 @rem");
    EXPECT_TRUE(Run.Finished);
}

TEST(Interpreter, NestedIfElseSkipsInnerBlocks) {
    // A false outer "@if" skips its inner complete block and resumes after its "@else".
    std::string Body = SetValue("x", "1") +
                       If("%x%", "Equal", "2") +
                       /**/ If("%x%", "Equal", "1") + SetValue("inner", "1") + "@else\n" +
                       /**/ SetValue("inner", "2") + "@endif\n" + SetValue("a", "1") +
                       "@else\n" + SetValue("b", "1") +
                       /**/ If("abcdef", "in", "cde", "Text") + SetValue("c", "1") + "@else\n" +
                       /**/ SetValue("c", "2") + "@endif\n" +
                       /**/ If("abcdef", "in", "", "Text") + SetValue("d", "1") + "@else\n" +
                       /**/ SetValue("d", "2") + "@endif\n" +
                       "@endif\n" + "@if\n" + SetValue("e", "1") + "@endif\n";
    TRun Run = PlayScenario(Header() + StartPage(Body));
    EXPECT_EQ(Run.Value("inner"), "-");
    EXPECT_EQ(Run.Value("a"), "-");
    EXPECT_EQ(Run.Value("b"), "1");
    EXPECT_EQ(Run.Value("c"), "1"); // "cde" occurs in "abcdef"
    EXPECT_EQ(Run.Value("d"), "2"); // the empty text never occurs
    EXPECT_EQ(Run.Value("e"), "1"); // both operands absent: 0 = 0
    EXPECT_TRUE(Run.Dialogs.empty());
}

TEST(Interpreter, MissingEndIfIsReportedAndTheBlockRunsFromTheNextTick) {
    TRun Run = PlayScenario(Header() + StartPage(If("1", "Equal", "2") + SetValue("a", "1")));
    ASSERT_EQ(Run.Dialogs.size(), 1u);
    EXPECT_EQ(Run.DialogText(0), "ブロック構文エラー\r\nＩＦコマンドに対応するＥＮＤＩＦがありません");
    EXPECT_EQ(Run.Value("a"), "1");
    EXPECT_EQ(Run.Trace.back().substr(0, 4), "400 "); // after the tick the error ended

    Run = PlayScenario(Header() + StartPage(If("1", "Equal", "1") + "@else\n" + SetValue("a", "1")));
    ASSERT_EQ(Run.Dialogs.size(), 1u);
    EXPECT_EQ(Run.DialogText(0), "ブロック構文エラー\r\nＥＬＳＥコマンドに対応するＥＮＤＩＦがありません");
    EXPECT_EQ(Run.Value("a"), "1");
}

TEST(Interpreter, CallsAndReturnsAcrossBooks) {
    TStringList StackAtB;
    TRunOptions Options;
    Options.OnCommand = [&](TfrmMain& Main, int32_t) {
        if (Main.AccessControl->CommandCtrl.BookName() == "B" && StackAtB.empty())
            StackAtB = Main.AccessControl->Stack.Lines();
    };
    std::string Work = Header() +
                       StartPage("@rem\n@rem\n@rem\n@rem\n@rem\n@rem\n"
                                 "Call.BookName=B\nCall.PageName=P\n@Call\n" + SetValue("back", "1")) +
                       "<Book=\"B\">\n<Page=\"P\">\nCall.BookName=C\nCall.PageName=Q\n@Call\n" +
                       SetValue("inB", "1") + "@Return\n<Page End>\n<Book End>\n" +
                       "<Book=\"C\">\n<Page=\"Q\">\nMove.BookName=C\nMove.PageName=R\n@Move\n<Page End>\n"
                       "<Page=\"R\">\n" + SetValue("inC", "1") + "@Return\n<Page End>\n<Book End>\n";
    TRun Run = PlayScenario(Work, Options);
    ASSERT_GE(StackAtB.size(), 4u);
    EXPECT_EQ(SjisToUtf8(StackAtB[0]), "Stack.CommandIndex=7");
    EXPECT_EQ(SjisToUtf8(StackAtB[1]), "Stack.PageName=スタートページ");
    EXPECT_EQ(SjisToUtf8(StackAtB[2]), "Stack.BookName=スタートブック");
    EXPECT_EQ(StackAtB[3], "@StackBorder");
    EXPECT_EQ(Run.Value("inC"), "1"); // a moved-to page still returns to the caller
    EXPECT_EQ(Run.Value("inB"), "1");
    EXPECT_EQ(Run.Value("back"), "1");
    EXPECT_TRUE(Run.Dialogs.empty());
}

TEST(Interpreter, ReturnWithoutCallWarnsAndGoesOn) {
    TRun Run = PlayScenario(Header() + StartPage("@Return\n" + SetValue("a", "1")));
    ASSERT_EQ(Run.Dialogs.size(), 1u);
    EXPECT_EQ(Run.Dialogs[0].Kind, TDialogKind::Warning);
    EXPECT_EQ(Run.DialogText(0),
              "スタックアンダーフローです。\nサブルーチンコールが行われていないのに\n復帰しようとしました。");
    EXPECT_EQ(Run.Value("a"), "1");
}

TEST(Interpreter, CommandsWithoutActionCostATick) {
    // "@rem" and "@endif" go on within the tick; "@Effect", "@GraphicCtrl",
    // "@WindowShow" and unknown commands end it.
    TRun Run = PlayScenario(Header() + StartPage("@rem\n@endif\n@Effect\n@rem\n@GraphicCtrl\n@WindowShow\n"
                                                 "@Unknown\n@MessageDraw \n@rem\n"));
    std::vector<std::string> Times;
    for (const std::string& Line : Run.Trace) Times.push_back(Line.substr(0, Line.find(' ')));
    EXPECT_EQ(Times, (std::vector<std::string>{"200", "200", "200", "200", "400", "400", "600", "800",
                                               "1000", "1200"}));
    ASSERT_EQ(Run.Dialogs.size(), 2u); // the two unknown markers
    EXPECT_EQ(Run.Dialogs[0].Kind, TDialogKind::Plain);
    EXPECT_EQ(Run.Dialogs[0].Text, "debug error : unknown command - MainLoop_Step()");
    EXPECT_EQ(Run.Dialogs[0].Caption, "Narvo Studio 5 Runtime");
    EXPECT_TRUE(Run.Finished);
    EXPECT_EQ(Run.EndTime, 1200u); // "@rem" goes on to find the end of the page at once
}

TEST(Interpreter, MissingPageIsReportedAndEndsThePlay) {
    TRun Run = PlayScenario(Header() + StartPage("Move.BookName=nowhere\nMove.PageName=p\n@Move\n"));
    ASSERT_EQ(Run.Dialogs.size(), 1u);
    EXPECT_EQ(Run.DialogText(0), "存在しないページへのアクセスが発生しました。\n「nowhere」ブック、「p」ページ");
    EXPECT_TRUE(Run.Finished);
}

TEST(Interpreter, Arithmetic) {
    std::string Body = SetValue("add", "2147483647", "Add", "1") + SetValue("mul", "65536", "Mul", "65536") +
                       SetValue("div", "-7", "Div", "3") + SetValue("mod", "-7", "Mod", "3") +
                       SetValue("mindiv", "-2147483648", "Div", "-1") +
                       SetValue("minmod", "-2147483648", "Mod", "-1") + SetValue("copy", "%add%") +
                       SetValue("text", "abc", "Add", "1") + SetValue("keep", "5") +
                       SetValue("keep", "1", "Div", "0") + SetValue("after", "1");
    TRun Run = PlayScenario(Header() + StartPage(Body));
    EXPECT_EQ(Run.Value("add"), "-2147483648");
    EXPECT_EQ(Run.Value("mul"), "0");
    EXPECT_EQ(Run.Value("div"), "-2");
    EXPECT_EQ(Run.Value("mod"), "-1");
    EXPECT_EQ(Run.Value("mindiv"), "-2147483648");
    EXPECT_EQ(Run.Value("minmod"), "0");
    EXPECT_EQ(Run.Value("copy"), "-2147483648");
    EXPECT_EQ(Run.Value("text"), "1"); // a text that is no number counts as 0
    EXPECT_EQ(Run.Value("keep"), "5");
    EXPECT_EQ(Run.Value("after"), "1");
    ASSERT_EQ(Run.Dialogs.size(), 1u);
    EXPECT_EQ(Run.DialogText(0), "debug: error report:\n ０で除算しました");
}

TEST(Interpreter, HeaderChecksAskAbortOrIgnore) {
    struct {
        std::string Head;
        TDialogResult Answer;
        bool Opened;
        size_t Dialogs;
    } Cases[] = {
        {"FileType=nv5\n", TDialogResult::Abort, false, 1},
        {"FileType=nv5\n", TDialogResult::Ignore, true, 1},
        {"FileType=NV5\nCommandVersion=20\n", TDialogResult::Abort, false, 1},
        {"FileType=NV5\nCommandVersion=19\n", TDialogResult::Abort, true, 0},
        {"FileType=x\nCommandVersion=25\n", TDialogResult::Ignore, true, 2},
    };
    for (const auto& Case : Cases) {
        TRunOptions Options;
        Options.Headless.DefaultAnswer = Case.Answer;
        TRun Run = PlayScenario("///\n<Head=\"Narvo\">\n" + Case.Head + "<Head End>\n" + StartPage("@rem\n"),
                                Options);
        EXPECT_EQ(Run.Opened, Case.Opened) << Case.Head;
        EXPECT_EQ(Run.Dialogs.size(), Case.Dialogs) << Case.Head;
        if (!Run.Dialogs.empty()) {
            EXPECT_EQ(Run.Dialogs[0].Buttons, TDialogButtons::AbortIgnore);
        }
        EXPECT_EQ(Run.Trace.empty(), !Case.Opened) << Case.Head;
    }
}

TEST(Interpreter, FilesThatCannotBePlayed) {
    TTempDir Dir;
    TRun Missing = Play(Dir / "missing.nvp");
    EXPECT_FALSE(Missing.Opened);
    ASSERT_EQ(Missing.Dialogs.size(), 1u);
    EXPECT_EQ(Missing.DialogText(0), Dir / "missing.nvpが見つかりません");

    test::WriteFile(Dir / "other.bin", "GIF89a...");
    TRun Other = Play(Dir / "other.bin");
    EXPECT_FALSE(Other.Opened);
    ASSERT_EQ(Other.Dialogs.size(), 1u);
    EXPECT_EQ(Other.DialogText(0), "ファイルのヘッダIDが違います。\nこのファイルはナルボスタジオ５で利用できるファイルではありません");
}

TEST(Interpreter, TicksGoOnAcrossTheWrapOfTheTickCount) {
    TRunOptions Options;
    Options.Headless.StartTick = 0xFFFFFE00u;
    TRun Run = PlayScenario(Header() + StartPage("@Effect\n@Effect\n@Effect\n@Effect\n" + SetValue("a", "1")),
                            Options);
    EXPECT_EQ(Run.Value("a"), "1");
    EXPECT_EQ(Run.Trace.back().substr(0, 5), "1000 ");
    EXPECT_TRUE(Run.Finished);
}

// --- Packages, the data directory and unpacking --------------------------------------------

namespace {

struct TEntrySpec {
    std::string Name; // UTF-8
    std::string Data;
    bool Extract = false;
    bool NoExtract = false;
    bool Masked = false;
};

void MakePackage(const std::string& Path, const std::string& ScenarioUtf8, const std::vector<TEntrySpec>& Files,
                 const std::string& Stub = "") {
    PkgWriter Writer;
    pkg_writer_init(Writer);
    ASSERT_TRUE(pkg_writer_magic(Writer, "NV5PKG"));
    ASSERT_TRUE(Stub.empty() ? pkg_create(Writer, Path) : pkg_create_with_stub(Writer, Path, Stub));
    Writer.Compressed = 1;
    ASSERT_TRUE(pkg_write_stream(Writer, Scenario(ScenarioUtf8), "narvo.nvf"));
    for (const TEntrySpec& File : Files) {
        Writer.Compressed = 0;
        Writer.Extract = File.Extract;
        Writer.NoExtract = File.NoExtract;
        Writer.Masked = File.Masked;
        ASSERT_TRUE(pkg_write_stream(Writer, File.Data, Sjis(File.Name)));
    }
    ASSERT_TRUE(pkg_finish(Writer));
}

} // namespace

TEST(Package, PlaysFromAPackageAndFromAnExecutableStub) {
    TTempDir Dir;
    std::string Work = Header() + StartPage(SetValue("a", "7"));
    MakePackage(Dir / "story.nvp", Work, {});
    TRun Run = Play(Dir / "story.nvp");
    ASSERT_TRUE(Run.Opened);
    EXPECT_EQ(Run.Value("a"), "7");
    EXPECT_EQ(Run.DataDirectory, Dir / "story/");

    test::WriteFile(Dir / "stub.exe", "MZ" + std::string(300, 'x'));
    MakePackage(Dir / "story.exe", Work, {}, Dir / "stub.exe");
    Run = Play(Dir / "story.exe");
    ASSERT_TRUE(Run.Opened);
    EXPECT_EQ(Run.Value("a"), "7");
}

TEST(Package, DataDirectoryFollowsTheSettings) {
    TTempDir Dir;
    struct {
        std::string Head;
        std::string Expected;
    } Cases[] = {
        {"", "story/"},
        {"DataDirectory=data\n", "data/"},
        {"DataDirectory=data\nAutoExtract=1\n", "story/"},
    };
    for (const auto& Case : Cases) {
        MakePackage(Dir / "story.nvp", Header(Case.Head) + StartPage("@rem\n"), {});
        TRunOptions Options;
        Options.Headless.DefaultAnswer = TDialogResult::No; // do not create folders
        TRun Run = Play(Dir / "story.nvp", Options);
        EXPECT_EQ(Run.DataDirectory, Dir / Case.Expected) << Case.Head;
    }
}

TEST(Package, UnpacksFlaggedEntriesOnceAndNeverOutsideTheDataDirectory) {
    TTempDir Dir;
    std::vector<TEntrySpec> Files = {
        {"bgm.ogg", "music", true},
        {"old.png", "new data", true},
        {"plain.png", "not flagged"},
        {"secret.png", "masked", true, false, true},
        {"kept.png", "no-extract", true, true},
        {"..\\escape.txt", "evil", true},
        {"sub\\deep.png", "needs a folder", true},
        {"画像.png", "shift-jis name", true},
    };
    MakePackage(Dir / "story.nvp", Header("AutoExtract=1\n") + StartPage("@rem\n"), Files);

    // Declining the folder unpacks nothing.
    TRunOptions Decline;
    Decline.Headless.DefaultAnswer = TDialogResult::No;
    TRun Run = Play(Dir / "story.nvp", Decline);
    ASSERT_EQ(Run.Dialogs.size(), 1u);
    EXPECT_EQ(Run.Dialogs[0].Buttons, TDialogButtons::YesNo);
    EXPECT_NE(Run.DialogText(0).find("\"" + Dir / "story/\" フォルダを作成します。"), std::string::npos);
    EXPECT_FALSE(DirectoryExists(Dir / "story"));

    ASSERT_TRUE(CreateDir(Dir / "story"));
    test::WriteFile(Dir / "story/old.png", "old data");
    Run = Play(Dir / "story.nvp");
    EXPECT_EQ(test::ReadFile(Dir / "story/bgm.ogg"), "music");
    EXPECT_EQ(test::ReadFile(Dir / "story/old.png"), "old data"); // never rewritten
    EXPECT_EQ(test::ReadFile(Dir / "story/画像.png"), "shift-jis name");
    for (const char* Absent : {"story/plain.png", "story/secret.png", "story/kept.png", "escape.txt"})
        EXPECT_FALSE(FileExists(Dir / Absent)) << Absent;
    // The unsafe name and the missing sub-folder are reported; play goes on.
    ASSERT_EQ(Run.Dialogs.size(), 2u);
    EXPECT_NE(Run.DialogText(0).find("..\\escape.txt"), std::string::npos);
    EXPECT_NE(Run.DialogText(1).find("sub\\deep.png"), std::string::npos);
    EXPECT_EQ(FindFiles(Dir / "story", "*").size(), 3u); // no temporary files left
    EXPECT_TRUE(Run.Finished);
}

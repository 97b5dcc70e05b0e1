// The backend-independent platform services: text encoding and files.
#include "platform/encoding.h"
#include "platform/files.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace narvo;
using narvo::test::TTempDir;

TEST(Encoding, Cp932RoundTrips) {
    struct {
        std::string Sjis;
        std::string Utf8;
    } Cases[] = {
        {"plain ascii", "plain ascii"},
        {"\x83\x65\x83\x4c\x83\x58\x83\x67", "テキスト"},
        {"\x94\x77\x8c\x69", "背景"},
        {"\xb1\xb2\xb3", "ｱｲｳ"},           // half-width katakana are single bytes
        {"\x83\x5c", "ソ"},                  // trail byte 0x5C
        {"\x81\x60", "～"},                  // code-page 932 mapping of the wave dash
        {"\x87\x40", "①"},                  // an NEC special character
    };
    for (const auto& Case : Cases) {
        bool Replaced = true;
        EXPECT_EQ(SjisToUtf8(Case.Sjis, &Replaced), Case.Utf8);
        EXPECT_FALSE(Replaced);
        EXPECT_EQ(Utf8ToSjis(Case.Utf8, &Replaced), Case.Sjis);
        EXPECT_FALSE(Replaced);
    }
}

TEST(Encoding, InvalidInputIsReplacedNotFatal) {
    bool Replaced = false;
    EXPECT_EQ(SjisToUtf8("a\x80" "b", &Replaced), "a\xEF\xBF\xBD" "b");
    EXPECT_TRUE(Replaced);
    EXPECT_EQ(SjisToUtf8("ab\x83"), "ab\xEF\xBF\xBD");       // cut off at the end
    EXPECT_EQ(SjisToUtf8("\x83\x41\xFD\x41"), "ア\xEF\xBF\xBD" "A");
    EXPECT_EQ(Utf8ToSjis("a\xFF" "b", &Replaced), "a?b");     // not UTF-8
    EXPECT_TRUE(Replaced);
    EXPECT_EQ(Utf8ToSjis("x😀y"), "x?y");                     // not in the code page
    EXPECT_EQ(Utf8ToSjis("\xE3\x81"), "?");                   // truncated sequence
}

TEST(Files, SafeNames) {
    struct {
        const char* Name;
        bool Safe;
    } Cases[] = {
        {"bg.png", true},          {"image\\bg.png", true}, {"image/bg.png", true},
        {"a\\.\\b.png", true},     {"", false},             {"..", false},
        {"..\\x.png", false},      {"a/../../x", false},    {"/etc/passwd", false},
        {"\\x.png", false},        {"C:\\x.png", false},    {"c:x.png", false},
        {"\x83\x5c.png", true},   // "ソ.png": the trail byte is no separator
        {"...", true},
    };
    for (const auto& Case : Cases) EXPECT_EQ(IsSafeRelativeName(Case.Name), Case.Safe) << Case.Name;
}

TEST(Files, ResolvesWorkNames) {
    TTempDir Dir;
    ASSERT_TRUE(ForceDirectories(Dir / "Image/Sub"));
    test::WriteFile(Dir / "Image/Sub/BG.png", "1");
    test::WriteFile(Dir / "Image/Sub/bg.PNG", "2");
    test::WriteFile(Dir / "Image/Title.png", "3");
    test::WriteFile(Dir / "ソ.png", "4");

    auto Resolve = [&](const std::string& Name) {
        std::optional<std::string> Path = ResolveWorkPath(Dir.Path(), Name);
        return Path ? test::ReadFile(*Path) : std::string("none");
    };
    EXPECT_EQ(Resolve("Image\\Sub\\BG.png"), "1");   // exact match wins
    EXPECT_EQ(Resolve("image/sub/bg.PNG"), "2");     // exact last component
    EXPECT_EQ(Resolve("IMAGE\\TITLE.PNG"), "3");     // case ignored per component
    EXPECT_EQ(Resolve("image\\sub\\Bg.Png"), "1");   // several fold: first in byte order
    EXPECT_EQ(Resolve(test::Sjis("ソ.png")), "4");   // Shift-JIS name on a UTF-8 disk
    EXPECT_EQ(Resolve("Image"), "none");             // folders are not files
    EXPECT_EQ(Resolve("missing.png"), "none");
    EXPECT_EQ(Resolve("Image\\..\\Image\\Title.png"), "none");
}

TEST(Files, FindFilesMatchesWildcardsIgnoringCase) {
    TTempDir Dir;
    for (const char* Name : {"a.spi", "B.SPI", "c.Spi.txt", "d.png"}) test::WriteFile(Dir / Name, "");
    ASSERT_TRUE(CreateDir(Dir / "e.spi"));
    EXPECT_EQ(FindFiles(Dir.Path(), "*.spi"), (std::vector<std::string>{"B.SPI", "a.spi"}));
    EXPECT_EQ(FindFiles(Dir.Path(), "?.png"), (std::vector<std::string>{"d.png"}));
    EXPECT_TRUE(FindFiles(Dir / "missing", "*").empty());
}

TEST(Files, ForceDirectoriesAndCreateDir) {
    TTempDir Dir;
    EXPECT_FALSE(CreateDir(Dir / "x/y"));         // one level only
    EXPECT_TRUE(ForceDirectories(Dir / "x/y/z/"));
    EXPECT_TRUE(DirectoryExists(Dir / "x/y/z"));
    EXPECT_TRUE(CreateDir(Dir / "x"));             // existing is fine
    test::WriteFile(Dir / "file", "");
    EXPECT_FALSE(ForceDirectories(Dir / "file/sub"));
}

TEST(Files, AtomicReplaceKeepsTheOldFileUntilCommitted) {
    TTempDir Dir;
    const std::string Path = Dir / "save.dat";
    test::WriteFile(Path, "old contents");

    {   // Abandoned half-way: the old file stays and no temporary is left behind.
        TAtomicFile File;
        ASSERT_TRUE(File.Open(Path));
        ASSERT_TRUE(File.Write("new"));
    }
    EXPECT_EQ(test::ReadFile(Path), "old contents");
    EXPECT_EQ(FindFiles(Dir.Path(), "*").size(), 1u);

    ASSERT_TRUE(AtomicWriteFile(Path, "new contents"));
    EXPECT_EQ(test::ReadFile(Path), "new contents");
    EXPECT_EQ(FindFiles(Dir.Path(), "*").size(), 1u);

    // A write that fails (the device is full) leaves the old file intact.
    if (FileExists("/dev/full")) {
        TAtomicFile File;
        ASSERT_TRUE(File.Open(Path));
        FILE* Full = std::fopen("/dev/full", "wb");
        ASSERT_NE(Full, nullptr);
        std::fclose(Full);
        // Point the stream's descriptor at /dev/full to simulate a full disk.
        int FullFd = ::open("/dev/full", O_WRONLY);
        ASSERT_GE(FullFd, 0);
        ASSERT_GE(::dup2(FullFd, fileno(File.Stream())), 0);
        ::close(FullFd);
        std::string Big(1 << 20, 'x');
        File.Write(Big);
        EXPECT_FALSE(File.Commit());
        EXPECT_EQ(test::ReadFile(Path), "new contents");
        EXPECT_EQ(FindFiles(Dir.Path(), "*").size(), 1u);
    }

    // A folder that does not exist cannot take the file: failure, not a crash.
    EXPECT_FALSE(AtomicWriteFile(Dir / "missing/x", "y"));
}

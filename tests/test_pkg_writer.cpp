// The container writer: byte-exact output, the executable stub, attributes and names,
// appending over the end mark, and atomic saves that never destroy the old file.
#include "data/pkg.h"
#include "test_pkg_fixture.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace narvo {
namespace {

using test::ReadFile;
using test::TTempDir;
using test::WriteFile;

// Files in a folder, temporary ones included.
size_t FindFilesCount(const std::string& Dir) {
    size_t N = 0;
    for ([[maybe_unused]] const auto& Entry : std::filesystem::directory_iterator(Dir)) ++N;
    return N;
}

std::string MaskOf(const std::string& File, size_t HeaderPos = 0) {
    return File.substr(HeaderPos + 280, 256);
}

TEST(PkgWriter, WritesTheFixtureByteForByte) {
    TTempDir Dir;
    std::string Path = Dir / "w.nvp";
    PkgWriter W;
    pkg_writer_init(W);
    ASSERT_TRUE(pkg_writer_magic(W, "NV5PKG"));
    ASSERT_TRUE(pkg_create(W, Path));
    ASSERT_TRUE(pkg_write_stream(W, "abc", "a.txt"));
    W.Extract = 1;
    W.Masked = 1;
    ASSERT_TRUE(pkg_write_stream(W, "xyz", "B.bin"));
    W.Extract = 0;
    W.Masked = 0;
    W.Compressed = 1;
    W.Attribute1 = 1;
    W.NoExtract = 1;
    W.Value = 5;
    // In two writes, to show the pieces do not matter.
    ASSERT_TRUE(pkg_begin_entry(W, "z"));
    ASSERT_TRUE(pkg_write(W, "hello hello ", 12));
    ASSERT_TRUE(pkg_write(W, "hello hello", 11));
    ASSERT_TRUE(pkg_end_entry(W));
    ASSERT_TRUE(pkg_finish(W));

    std::string Written = ReadFile(Path);
    // The mask is random; everything else is fixed.
    EXPECT_EQ(Written, test::StreamFixture(MaskOf(Written)));
    EXPECT_NE(MaskOf(Written), std::string(256, '\0'));
}

TEST(PkgWriter, MagicAndStub) {
    TTempDir Dir;
    PkgWriter W;
    pkg_writer_init(W);
    EXPECT_FALSE(pkg_writer_magic(W, "NV5PACKAGE"));
    EXPECT_STREQ(W.Header.Magic, "");
    ASSERT_TRUE(pkg_writer_magic(W, "NV5SAVE"));

    const std::string Exe = "MZ" + std::string(3000, '\x90') + "----+";
    WriteFile(Dir / "player.exe", Exe);
    std::string Path = Dir / "game.exe";
    EXPECT_FALSE(pkg_create_with_stub(W, Path, Dir / "missing.exe"));
    ASSERT_TRUE(pkg_create_with_stub(W, Path, Dir / "player.exe"));
    ASSERT_TRUE(pkg_write_stream(W, "data", "savefile.info"));
    ASSERT_TRUE(pkg_finish(W));

    std::string Written = ReadFile(Path);
    const size_t Header = Exe.size() + 256;
    EXPECT_EQ(Written.substr(0, Exe.size()), Exe);
    EXPECT_EQ(Written.substr(Exe.size(), 256), std::string(255, '-') + "+");
    EXPECT_EQ(Written.substr(Header, 8), std::string("NV5SAVE\0", 8));
    PkgReader Reader;
    ASSERT_TRUE(pkg_open(Path, Reader));
    EXPECT_STREQ(Reader.Header.Magic, "NV5SAVE");
    EXPECT_EQ(Reader.BasePos, Header + 536);
    EXPECT_EQ(pkg_entry(Reader, 0)->DataPos, Header + 536 + 27 + 13);
    std::string Out;
    ASSERT_TRUE(pkg_extract(Out, "SAVEFILE.INFO", Reader));
    EXPECT_EQ(Out, "data");
}

TEST(PkgWriter, AttributesAndNamesRoundTrip) {
    TTempDir Dir;
    std::string Path = Dir / "a.nvp";
    std::string Data = "attribute test data ";
    for (int I = 0; I < 9; ++I) Data += Data;
    PkgWriter W;
    pkg_writer_init(W);
    pkg_writer_magic(W, "NV5PKG");
    ASSERT_TRUE(pkg_create(W, Path));
    for (uint32_t Bits = 0; Bits < 32; ++Bits) {
        W.Compressed = Bits & 1;
        W.Attribute1 = (Bits >> 1) & 1;
        W.Extract = (Bits >> 2) & 1;
        W.NoExtract = (Bits >> 3) & 1;
        W.Masked = (Bits >> 4) & 1;
        W.Value = Bits * 1000;
        ASSERT_TRUE(pkg_write_stream(W, Data, "e" + std::to_string(Bits)));
    }
    W.Compressed = W.Attribute1 = W.Extract = W.NoExtract = W.Masked = 0;
    W.Value = 0;
    const std::string LongName(255, 'n');
    EXPECT_TRUE(pkg_write_stream(W, "long", LongName));
    EXPECT_FALSE(pkg_begin_entry(W, LongName + "n"));
    const std::string Kanji = test::Sjis("背景\\表示.png");
    EXPECT_TRUE(pkg_write_stream(W, "", Kanji));
    ASSERT_TRUE(pkg_finish(W));

    PkgReader Reader;
    ASSERT_TRUE(pkg_open(Path, Reader));
    ASSERT_EQ(Reader.Count, 34);
    for (uint32_t Bits = 0; Bits < 32; ++Bits) {
        const PkgEntry& E = *pkg_entry(Reader, int(Bits));
        EXPECT_EQ(E.Compressed, Bits & 1);
        EXPECT_EQ(E.Attribute1, (Bits >> 1) & 1);
        EXPECT_EQ(E.Extract, (Bits >> 2) & 1);
        EXPECT_EQ(E.NoExtract, (Bits >> 3) & 1);
        EXPECT_EQ(E.Masked, (Bits >> 4) & 1);
        EXPECT_EQ(E.Value, Bits * 1000);
        EXPECT_EQ(E.FullSize, Data.size());
        if (E.Compressed) {
            EXPECT_LT(E.StoredSize, Data.size());
        }
        std::string Out;
        ASSERT_TRUE(pkg_extract_index(Out, int(Bits), Reader));
        EXPECT_EQ(Out, Data) << Bits;
    }
    EXPECT_STREQ(pkg_entry(Reader, 32)->Name, LongName.c_str());
    EXPECT_EQ(pkg_find(Reader, Kanji), 33);
}

TEST(PkgWriter, AddsFilesFromDisk) {
    TTempDir Dir;
    std::string Big(200000, '\0');
    for (size_t I = 0; I < Big.size(); ++I) Big[I] = char((I * I) >> 7);
    WriteFile(Dir / "big.bin", Big);
    std::string Path = Dir / "f.nvp";
    PkgWriter W;
    pkg_writer_init(W);
    pkg_writer_magic(W, "NV5LIB");
    ASSERT_TRUE(pkg_create(W, Path));
    W.Compressed = W.Masked = 1;
    ASSERT_TRUE(pkg_add_file(W, Dir / "big.bin", "big.bin"));
    EXPECT_FALSE(pkg_add_file(W, Dir / "missing.bin", "missing.bin"));
    W.Compressed = 0;
    ASSERT_TRUE(pkg_add_file(W, Dir / "big.bin", "raw.bin"));
    ASSERT_TRUE(pkg_finish(W));
    PkgReader Reader;
    ASSERT_TRUE(pkg_open(Path, Reader));
    EXPECT_EQ(Reader.Count, 2);
    std::string Out;
    ASSERT_TRUE(pkg_extract(Out, "big.bin", Reader));
    EXPECT_EQ(Out, Big);
    ASSERT_TRUE(pkg_extract(Out, "raw.bin", Reader));
    EXPECT_EQ(Out, Big);
    EXPECT_EQ(pkg_entry(Reader, 1)->StoredSize, Big.size());
}

std::string MakeSave(const TTempDir& Dir, const std::string& Value) {
    std::string Path = Dir / "s.sav";
    PkgWriter W;
    pkg_writer_init(W);
    pkg_writer_magic(W, "NV5SAVE");
    EXPECT_TRUE(pkg_create(W, Path));
    EXPECT_TRUE(pkg_write_stream(W, Value, "savefile.info"));
    EXPECT_TRUE(pkg_write_stream(W, "stack", "stack.info"));
    EXPECT_TRUE(pkg_finish(W));
    return Path;
}

TEST(PkgWriter, AppendOverwritesTheEndMark) {
    for (bool Atomic : {false, true}) {
        TTempDir Dir;
        std::string Path = MakeSave(Dir, "old");
        const std::string Before = ReadFile(Path);
        PkgWriter W;
        pkg_writer_init(W);
        W.Atomic = Atomic;
        ASSERT_TRUE(pkg_append(W, Path));
        W.Masked = 1;
        EXPECT_FALSE(pkg_begin_entry(W, "masked")) << "the container's mask is unknown";
        W.Masked = 0;
        W.Compressed = 1;
        ASSERT_TRUE(pkg_write_stream(W, "new", "SAVEFILE.INFO"));
        ASSERT_TRUE(pkg_finish(W));

        std::string After = ReadFile(Path);
        EXPECT_EQ(After.substr(0, Before.size() - 2), Before.substr(0, Before.size() - 2));
        EXPECT_EQ(After.substr(Before.size() - 2, 2), "LI");
        PkgReader Reader;
        ASSERT_TRUE(pkg_open(Path, Reader));
        EXPECT_EQ(Reader.Count, 3);
        std::string Out;
        ASSERT_TRUE(pkg_extract(Out, "savefile.info", Reader));
        EXPECT_EQ(Out, "new") << "the appended entry overrides the earlier one";
    }
}

TEST(PkgWriter, AppendNeedsTheEndMark) {
    TTempDir Dir;
    PkgWriter W;
    pkg_writer_init(W);
    EXPECT_FALSE(pkg_append(W, Dir / "missing.sav"));
    for (const std::string& Content : {std::string(""), std::string("E"), std::string("xxEPx")}) {
        WriteFile(Dir / "bad.sav", Content);
        for (bool Atomic : {false, true}) {
            W.Atomic = Atomic;
            EXPECT_FALSE(pkg_append(W, Dir / "bad.sav")) << Content;
            EXPECT_EQ(ReadFile(Dir / "bad.sav"), Content);
        }
    }
    EXPECT_FALSE(pkg_begin_entry(W, "x"));
    EXPECT_FALSE(pkg_write(W, "x", 1));
    EXPECT_FALSE(pkg_end_entry(W));
    EXPECT_FALSE(pkg_finish(W));
}

TEST(PkgWriter, InterruptedSaves) {
    // Written in place, an interrupted save has no end mark and cannot be opened.
    {
        TTempDir Dir;
        std::string Path = MakeSave(Dir, "old");
        {
            PkgWriter W;
            pkg_writer_init(W);
            pkg_writer_magic(W, "NV5SAVE");
            ASSERT_TRUE(pkg_create(W, Path));
            ASSERT_TRUE(pkg_write_stream(W, "half", "savefile.info"));
        }
        PkgReader Reader;
        EXPECT_FALSE(pkg_open(Path, Reader));
    }
    // Written atomically, the old save survives both a new file and an append that stop
    // before the end, and a finished write replaces it.
    for (bool Append : {false, true}) {
        TTempDir Dir;
        std::string Path = MakeSave(Dir, "old");
        const std::string Before = ReadFile(Path);
        {
            PkgWriter W;
            pkg_writer_init(W);
            W.Atomic = true;
            pkg_writer_magic(W, "NV5SAVE");
            ASSERT_TRUE(Append ? pkg_append(W, Path) : pkg_create(W, Path));
            ASSERT_TRUE(pkg_write_stream(W, "half", "savefile.info"));
        }
        EXPECT_EQ(ReadFile(Path), Before);
        EXPECT_EQ(FindFilesCount(Dir.Path()), 1u);

        PkgWriter W;
        pkg_writer_init(W);
        W.Atomic = true;
        pkg_writer_magic(W, "NV5SAVE");
        ASSERT_TRUE(Append ? pkg_append(W, Path) : pkg_create(W, Path));
        ASSERT_TRUE(pkg_write_stream(W, "done", "savefile.info"));
        EXPECT_EQ(ReadFile(Path), Before) << "nothing changes before the finish";
        ASSERT_TRUE(pkg_finish(W));
        PkgReader Reader;
        ASSERT_TRUE(pkg_open(Path, Reader));
        std::string Out;
        ASSERT_TRUE(pkg_extract(Out, "savefile.info", Reader));
        EXPECT_EQ(Out, "done");
        EXPECT_EQ(Reader.Count, Append ? 3 : 1);
    }
}

} // namespace
} // namespace narvo

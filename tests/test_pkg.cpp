// The container reader against byte fixtures: both layouts, the executable stub, masked
// and compressed entries, lookup rules, piecewise reads, and damaged files.
#include "data/pkg.h"
#include "test_pkg_fixture.h"
#include "test_support.h"

#include <gtest/gtest.h>
#include <png.h>
#include <zlib.h>

#include <csetjmp>
#include <cstring>

namespace narvo {
namespace {

using test::StreamFixture;
using test::TBytes;
using test::TTempDir;
using test::WriteFile;

std::string OpenFixture(const TTempDir& Dir, const std::string& Bytes, PkgReader& Reader,
                        bool ExpectOpen = true) {
    std::string Path = Dir / "c.bin";
    WriteFile(Path, Bytes);
    EXPECT_EQ(pkg_open(Path, Reader), ExpectOpen);
    return Path;
}

std::string Extract(PkgReader& Reader, std::string_view Name) {
    std::string Out;
    EXPECT_TRUE(pkg_extract(Out, Name, Reader)) << Name;
    return Out;
}

std::string Compress(const std::string& Data) {
    uLongf Size = compressBound(uLong(Data.size()));
    std::string Out(Size, '\0');
    EXPECT_EQ(compress2(reinterpret_cast<Bytef*>(Out.data()), &Size,
                        reinterpret_cast<const Bytef*>(Data.data()), uLong(Data.size()),
                        Z_DEFAULT_COMPRESSION),
              Z_OK);
    Out.resize(Size);
    return Out;
}

std::string Pattern(size_t N, uint32_t Seed = 1) {
    std::string S(N, '\0');
    for (size_t I = 0; I < N; ++I) {
        Seed = Seed * 1103515245u + 12345u;
        S[I] = char((Seed >> 16) % 23 + 'a');
    }
    return S;
}

// One entry "z" with a correct checksum whose record claims `StoredClaim` stored bytes
// and `FullSize`; `Stored` are the bytes that follow.
std::string OneEntry(uint32_t Attributes, const std::string& Stored, uint32_t StoredClaim,
                     uint32_t FullSize) {
    uint8_t NameLength = 1;
    const uint8_t Flags[4] = {uint8_t(Attributes >> 31), 0, 0, 0};
    uint32_t DataSum = pkg_checksum(0, Stored.data(), Stored.size());
    uint32_t H = pkg_checksum(0, &NameLength, 1);
    H = pkg_checksum(H, "z", 1);
    H = pkg_checksum(H, Flags, 4);
    for (uint32_t V : {0u, StoredClaim, FullSize, DataSum}) H = pkg_checksum_u32(H, V);
    TBytes B;
    B.Raw(StreamFixture().substr(0, 536)).Raw("LI").BE32(H).Byte(1).Raw("z");
    B.BE32(Attributes).BE32(0).BE32(StoredClaim).BE32(FullSize).BE32(DataSum);
    B.Raw(Stored).Raw("EP");
    return B.Data;
}

std::string CompressedWithFullSize(const std::string& Zipped, uint32_t FullSize) {
    return OneEntry(0x80000000, Zipped, uint32_t(Zipped.size()), FullSize);
}

TEST(PkgChecksum, SignExtendsAndRotates) {
    struct Case {
        std::string Bytes;
        uint32_t Sum;
    } Cases[] = {
        {"", 0},
        {"abc", 0x00000123},
        {"\x80", 0xFFFFFF80},
        {std::string("\x7F\x80\x01", 3), 0xFFFFFEFC},
        {"xyz", 0x168},
    };
    for (const Case& C : Cases)
        EXPECT_EQ(pkg_checksum(0, C.Bytes.data(), C.Bytes.size()), C.Sum) << C.Bytes;
    // A 32-bit value contributes its bytes least significant first.
    EXPECT_EQ(pkg_checksum_u32(0, 0x00636261), pkg_checksum(0, "abc\0", 4));
}

TEST(PkgReader, ReadsEntryStreamFixture) {
    TTempDir Dir;
    PkgReader Reader;
    std::string Path = OpenFixture(Dir, StreamFixture(), Reader);
    ASSERT_EQ(Reader.Count, 3);
    EXPECT_STREQ(Reader.Header.Magic, "NV5PKG");
    EXPECT_EQ(Reader.Header.Checksum, 0x03264000u);
    EXPECT_EQ(Reader.BasePos, 536u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(Reader.Mask), 256), test::TestMask());

    const PkgEntry& A = *pkg_entry(Reader, 0);
    EXPECT_STREQ(A.Name, "a.txt");
    EXPECT_EQ(A.StoredSize, 3u);
    EXPECT_EQ(A.FullSize, 3u) << "a stored entry's full size 0 means its stored size";
    EXPECT_EQ(A.DataPos, 536u + 27 + 5);
    const PkgEntry& B = *pkg_entry(Reader, 1);
    EXPECT_TRUE(B.Masked && B.Extract && !B.Compressed && !B.NoExtract && !B.Attribute1);
    const PkgEntry& Z = *pkg_entry(Reader, 2);
    EXPECT_TRUE(Z.Compressed && Z.Attribute1 && Z.NoExtract && !Z.Extract && !Z.Masked);
    EXPECT_EQ(Z.Value, 5u);
    EXPECT_EQ(Z.FullSize, 23u);
    EXPECT_EQ(Z.DataChecksum, 0xFFD8409Du);
    EXPECT_EQ(pkg_entry(Reader, 3), nullptr);
    EXPECT_EQ(pkg_entry(Reader, -1), nullptr);

    EXPECT_EQ(Extract(Reader, "a.txt"), "abc");
    EXPECT_EQ(Extract(Reader, "b.BIN"), "xyz");
    EXPECT_EQ(Extract(Reader, "Z"), test::HelloText);
    EXPECT_TRUE(pkg_has_magic(Path, "NV5PKG"));
    EXPECT_TRUE(pkg_has_magic(Path, "NV5"));
    EXPECT_FALSE(pkg_has_magic(Path, "NV5SAVE"));
    EXPECT_FALSE(pkg_has_magic(Dir / "missing", "NV5PKG"));

    // Attribute bits without a meaning are ignored and not covered by the checksum.
    std::string Unknown = StreamFixture();
    Unknown[536 + 12] = '\x40';
    PkgReader Other;
    OpenFixture(Dir, Unknown, Other);
    EXPECT_EQ(Extract(Other, "a.txt"), "abc");
}

TEST(PkgReader, ReadsDirectoryLayout) {
    std::string Zipped = Compress("compressed body");
    TBytes B;
    B.Raw(std::string_view("NV5PKG\0\0", 8)).Zeros(256);
    B.LE32(3); // count of directory records
    auto Record = [&](const std::string& Name, uint32_t A, uint32_t WordB, uint32_t Offset,
                      uint32_t Size) {
        B.Raw(Name).Zeros(256 - Name.size()); // NUL-terminated name
        B.LE32(A).LE32(WordB).LE32(Offset).LE32(Size);
    };
    Record("plain.txt", 0x02000000, 0x01000000, 0, 5);               // attribute 1, extract
    Record("zipped.bin", 0x80000000, 0, 5, uint32_t(Zipped.size())); // compressed, no-extract
    Record("tail.txt", 0, 0xFEFFFFFF, 5 + uint32_t(Zipped.size()), 4); // only bit 24 of B counts
    B.Raw("plain").Raw(Zipped).Raw("tail");

    TTempDir Dir;
    PkgReader Reader;
    OpenFixture(Dir, B.Data, Reader);
    ASSERT_EQ(Reader.Count, 3);
    EXPECT_EQ(Reader.BasePos, 268u + 3 * 272);
    struct Want {
        const char* Name;
        uint8_t C, A1, X, N, M;
        uint32_t Full;
    } Wants[] = {
        {"plain.txt", 0, 1, 1, 0, 0, 5},
        {"zipped.bin", 1, 0, 0, 1, 0, 0}, // compressed: full size unknown
        {"tail.txt", 0, 0, 0, 1, 0, 4},
    };
    for (int I = 0; I < 3; ++I) {
        const PkgEntry& E = *pkg_entry(Reader, I);
        const Want& W = Wants[I];
        EXPECT_STREQ(E.Name, W.Name);
        EXPECT_EQ(E.Compressed, W.C) << W.Name;
        EXPECT_EQ(E.Attribute1, W.A1) << W.Name;
        EXPECT_EQ(E.Extract, W.X) << W.Name;
        EXPECT_EQ(E.NoExtract, W.N) << W.Name;
        EXPECT_EQ(E.Masked, W.M) << W.Name;
        EXPECT_EQ(E.FullSize, W.Full) << W.Name;
    }
    EXPECT_EQ(Extract(Reader, "plain.txt"), "plain");
    EXPECT_EQ(Extract(Reader, "zipped.bin"), "compressed body");
    EXPECT_EQ(Extract(Reader, "tail.txt"), "tail");
}

TEST(PkgReader, ExecutableStubNeedsMoreThan200Dashes) {
    for (int Dashes : {200, 201, 255, 5000}) {
        std::string File = "MZ" + std::string(100, '\x90') + "-+-x";
        File += std::string(size_t(Dashes), '-') + "+" + StreamFixture();
        TTempDir Dir;
        PkgReader Reader;
        OpenFixture(Dir, File, Reader, Dashes > 200);
        if (Dashes > 200) {
            EXPECT_EQ(Extract(Reader, "z"), test::HelloText);
        }
    }
}

TEST(PkgReader, LookupFoldsAsciiAndLastEntryWins) {
    TTempDir Dir;
    std::string Path = Dir / "s.sav";
    PkgWriter W;
    pkg_writer_init(W);
    pkg_writer_magic(W, "NV5SAVE");
    ASSERT_TRUE(pkg_create(W, Path));
    const std::string Kana = test::Sjis("ア"); // 0x83 0x41: the trail byte is an ASCII letter
    ASSERT_TRUE(pkg_write_stream(W, "old", "savefile.info"));
    ASSERT_TRUE(pkg_write_stream(W, "other", "stack.info"));
    ASSERT_TRUE(pkg_write_stream(W, "new", "SaveFile.Info"));
    ASSERT_TRUE(pkg_write_stream(W, "kana", Kana));
    ASSERT_TRUE(pkg_finish(W));

    PkgReader Reader;
    ASSERT_TRUE(pkg_open(Path, Reader));
    EXPECT_EQ(pkg_find(Reader, "SAVEFILE.INFO"), 2);
    EXPECT_EQ(Extract(Reader, "savefile.info"), "new");
    EXPECT_EQ(pkg_find(Reader, "savefile.inf"), -1);
    EXPECT_EQ(pkg_find(Reader, ""), -1);
    EXPECT_EQ(pkg_find_entry(Reader, "STACK.info"), pkg_entry(Reader, 1));
    // Every byte is folded, so the second byte of a double-byte character is too.
    std::string KanaLower = Kana;
    KanaLower[1] = char(KanaLower[1] | 0x20);
    EXPECT_EQ(pkg_find(Reader, KanaLower), 3);
    EXPECT_FALSE(pkg_select_name(Reader, "nothing"));
    std::string Out = "stale";
    EXPECT_FALSE(pkg_extract(Out, "nothing", Reader));
}

// Builds a container of the given entries with the writer.
struct TEntrySpec {
    std::string Name;
    std::string Data;
    bool Compressed = false;
    bool Masked = false;
};

std::string WriteContainer(const TTempDir& Dir, const std::vector<TEntrySpec>& Entries) {
    std::string Path = Dir / "w.nvp";
    PkgWriter W;
    pkg_writer_init(W);
    pkg_writer_magic(W, "NV5PKG");
    EXPECT_TRUE(pkg_create(W, Path));
    for (const TEntrySpec& E : Entries) {
        W.Compressed = E.Compressed;
        W.Masked = E.Masked;
        EXPECT_TRUE(pkg_write_stream(W, E.Data, E.Name));
    }
    EXPECT_TRUE(pkg_finish(W));
    return Path;
}

TEST(PkgReader, ReadsNeverCrossIntoTheNextRecord) {
    TTempDir Dir;
    const std::string Exact = Pattern(2048 * 3);
    const std::string Odd = Pattern(70001, 7);
    std::string Path = WriteContainer(Dir, {{"exact", Exact},
                                            {"exact.z", Exact, true, true},
                                            {"odd.m", Odd, false, true},
                                            {"odd.z", Odd, true},
                                            {"empty", ""},
                                            {"empty.z", "", true, true},
                                            {"last", "tail"}});
    PkgReader Reader;
    ASSERT_TRUE(pkg_open(Path, Reader));
    const std::string* Want[] = {&Exact, &Exact, &Odd, &Odd, nullptr, nullptr};
    for (int I = 0; I < 6; ++I) {
        std::string Expected = Want[I] ? *Want[I] : "";
        // One oversized read stops at the entry's end.
        ASSERT_TRUE(pkg_select(Reader, I));
        std::string Big(Expected.size() + 5000, '#');
        size_t Got = pkg_read(Reader, Big.data(), Big.size());
        EXPECT_EQ(Big.substr(0, Got), Expected) << I;
        EXPECT_EQ(pkg_read(Reader, Big.data(), Big.size()), 0u) << I;
        // Small odd pieces deliver the same bytes.
        ASSERT_TRUE(pkg_select(Reader, I));
        std::string Pieces;
        char Piece[333];
        while (size_t N = pkg_read(Reader, Piece, sizeof Piece)) Pieces.append(Piece, N);
        EXPECT_EQ(Pieces, Expected) << I;
        // Whole reads, including an exact multiple of the piece size, end cleanly.
        ASSERT_TRUE(pkg_select(Reader, I));
        std::string All = "prefix:";
        EXPECT_TRUE(pkg_read_all(Reader, All)) << I;
        EXPECT_EQ(All, "prefix:" + Expected) << I;
        EXPECT_EQ(Extract(Reader, pkg_entry(Reader, I)->Name), Expected) << I;
    }
    EXPECT_EQ(Extract(Reader, "last"), "tail");

    // Into a file stream, as the data directory is filled.
    std::string OutPath = Dir / "out.bin";
    FILE* Out = std::fopen(OutPath.c_str(), "wb");
    ASSERT_TRUE(pkg_extract_index(Out, 3, Reader));
    std::fclose(Out);
    EXPECT_EQ(test::ReadFile(OutPath), Odd);
}

TEST(PkgReader, LoadsStringLists) {
    TTempDir Dir;
    TStringList List = {"Name=value", test::Sjis("日本語=テキスト"), ""};
    std::string Path = Dir / "l.sav";
    PkgWriter W;
    pkg_writer_init(W);
    pkg_writer_magic(W, "NV5SAVE");
    ASSERT_TRUE(pkg_create(W, Path));
    ASSERT_TRUE(pkg_write_strings(W, List, "list.info"));
    ASSERT_TRUE(pkg_finish(W));
    PkgReader Reader;
    ASSERT_TRUE(pkg_open(Path, Reader));
    EXPECT_EQ(Extract(Reader, "list.info"), "Name=value\r\n" + List[1] + "\r\n\r\n");
    TStringList Loaded;
    ASSERT_TRUE(pkg_load_strings("LIST.INFO", Loaded, Reader));
    EXPECT_EQ(Loaded, List);
    EXPECT_FALSE(pkg_load_strings("missing", Loaded, Reader));
}

TEST(PkgReader, ExtractTrustsTheDataNotTheFullSize) {
    const std::string Body = Pattern(100000, 3);
    const std::string Zipped = Compress(Body);
    for (uint32_t Claimed : {uint32_t(Body.size()), uint32_t(Body.size() - 1),
                             uint32_t(Body.size() + 1), 0u, 0xFFFFFFFFu}) {
        TTempDir Dir;
        PkgReader Reader;
        OpenFixture(Dir, CompressedWithFullSize(Zipped, Claimed), Reader);
        EXPECT_EQ(Extract(Reader, "z"), Body) << Claimed;
    }
}

// --- Damaged files -------------------------------------------------------------------------

TEST(PkgReader, EveryTruncationFailsToOpen) {
    const std::string Whole = StreamFixture();
    TTempDir Dir;
    for (size_t Length = 0; Length < Whole.size(); ++Length) {
        PkgReader Reader;
        OpenFixture(Dir, Whole.substr(0, Length), Reader, false);
        EXPECT_EQ(Reader.File, nullptr);
        EXPECT_EQ(Reader.Count, 0);
    }
}

TEST(PkgReader, DamagedFilesFailToOpen) {
    const std::string Good = StreamFixture();
    auto Patched = [&](size_t Pos, std::string_view Bytes) {
        std::string S = Good;
        S.replace(Pos, Bytes.size(), Bytes);
        return S;
    };
    const size_t Entry0 = 536;
    const size_t Entry1 = Entry0 + 27 + 5 + 3;
    struct Case {
        const char* What;
        std::string Bytes;
    } Cases[] = {
        {"empty file", ""},
        {"header text changed", Patched(100, "x")},
        {"header checksum changed", Patched(279, "\x01")},
        {"flags changed", Patched(271, "\x01")},
        {"entry checksum changed", Patched(Entry0 + 5, "\x1D")},
        {"entry name changed", Patched(Entry0 + 7, "A")},
        {"entry attributes changed", Patched(Entry0 + 12, "\x80")},
        {"extract bit set", Patched(Entry0 + 13, "\x40")},
        {"stored size changed", Patched(Entry1 + 2 + 4 + 1 + 5 + 8, "\x7F")},
        {"stored size beyond the file", OneEntry(0, "abc", 4, 0)},
        {"huge stored size", OneEntry(0x80000000, "abc", 0xFFFFFFF0, 3)},
        {"bad record mark", Patched(Entry1, "LX")},
        {"no end mark", Good.substr(0, Good.size() - 2) + "XX"},
        {"no entries", Good.substr(0, 536) + "EP"},
        {"executable without separator", "MZ" + std::string(300, '-') + Good},
        {"executable with a short separator", "MZ" + std::string(200, '-') + "+" + Good},
        {"huge directory count", TBytes().Raw(Good.substr(0, 264)).LE32(0x7FFFFFFF).Data},
        {"negative directory count", TBytes().Raw(Good.substr(0, 264)).LE32(0x80000000).Data},
        {"directory record past the end",
         TBytes().Raw(Good.substr(0, 264)).LE32(2).Raw(std::string(272, 'n')).Data},
        {"directory data past the end",
         TBytes().Raw(Good.substr(0, 264)).LE32(1).Raw(std::string(256, '\0'))
             .LE32(0).LE32(0).LE32(0xFFFFFFF0).LE32(0x20).Data},
    };
    TTempDir Dir;
    for (const Case& C : Cases) {
        PkgReader Reader;
        std::string Path = Dir / "d.bin";
        WriteFile(Path, C.Bytes);
        EXPECT_FALSE(pkg_open(Path, Reader)) << C.What;
        EXPECT_EQ(Reader.File, nullptr) << C.What;
        EXPECT_EQ(Reader.Count, 0) << C.What;
    }
    PkgReader Reader;
    EXPECT_FALSE(pkg_open(Dir / "missing.nvp", Reader));
    // Reopening a reader after a failure works.
    std::string Path = Dir / "ok.bin";
    WriteFile(Path, Good);
    EXPECT_TRUE(pkg_open(Path, Reader));
}

TEST(PkgReader, InflateErrorFailsTheReadAndLaterCompressedSelects) {
    std::string Zipped = Compress(Pattern(50000));
    std::string Broken = Zipped;
    Broken[Zipped.size() / 2] ^= 0x55;
    std::string Truncated = Zipped.substr(0, Zipped.size() - 100);
    for (const std::string& Bad : {Broken, Truncated}) {
        TTempDir Dir;
        PkgReader Reader;
        OpenFixture(Dir, CompressedWithFullSize(Bad, 50000), Reader);
        std::string Out;
        EXPECT_FALSE(pkg_extract(Out, "z", Reader));
        EXPECT_EQ(Reader.InflateState, 0);
        // The reader refuses compressed entries until it is opened again.
        EXPECT_FALSE(pkg_select(Reader, 0));
        char Buffer[16];
        EXPECT_EQ(pkg_read(Reader, Buffer, sizeof Buffer), 0u);
    }
}

// --- PNG decoding straight from an entry --------------------------------------------------

std::string TinyPng() {
    png_image Image{};
    Image.version = PNG_IMAGE_VERSION;
    Image.width = 3;
    Image.height = 2;
    Image.format = PNG_FORMAT_RGBA;
    const uint8_t Pixels[3 * 2 * 4] = {255, 0, 0, 255, 0, 255, 0, 255, 0, 0, 255, 255,
                                       1,   2, 3, 4,   5, 6,   7, 8,   9, 10, 11, 12};
    png_alloc_size_t Size = 0;
    EXPECT_TRUE(png_image_write_to_memory(&Image, nullptr, &Size, 0, Pixels, 0, nullptr));
    std::string Out(Size, '\0');
    EXPECT_TRUE(png_image_write_to_memory(&Image, Out.data(), &Size, 0, Pixels, 0, nullptr));
    Out.resize(Size);
    return Out;
}

struct TPngRun {
    std::string Error;
    png_uint_32 Width = 0;
    std::vector<uint8_t> Rows;
};

void OnPngError(png_structp Png, png_const_charp Message) {
    static_cast<TPngRun*>(png_get_error_ptr(Png))->Error = Message;
    std::longjmp(png_jmpbuf(Png), 1);
}

void DecodePng(PkgReader& Reader, TPngRun& Run) {
    png_structp Png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &Run, OnPngError, nullptr);
    png_infop Info = png_create_info_struct(Png);
    if (setjmp(png_jmpbuf(Png)) == 0) {
        png_set_read_fn(Png, &Reader, pkg_png_read);
        png_read_info(Png, Info);
        Run.Width = png_get_image_width(Png, Info);
        png_uint_32 Height = png_get_image_height(Png, Info);
        size_t RowBytes = png_get_rowbytes(Png, Info);
        Run.Rows.assign(RowBytes * Height, 0);
        std::vector<png_bytep> Pointers;
        for (png_uint_32 Y = 0; Y < Height; ++Y) Pointers.push_back(Run.Rows.data() + Y * RowBytes);
        png_read_image(Png, Pointers.data());
        png_read_end(Png, nullptr);
    }
    png_destroy_read_struct(&Png, &Info, nullptr);
}

TEST(PkgReader, PngDecodesFromSelectedEntry) {
    const std::string Png = TinyPng();
    TTempDir Dir;
    std::string Path = WriteContainer(
        Dir, {{"a.png", Png, true, true}, {"cut.png", Png.substr(0, Png.size() - 20)}});
    PkgReader Reader;
    ASSERT_TRUE(pkg_open(Path, Reader));

    TPngRun Good;
    ASSERT_TRUE(pkg_select_name(Reader, "A.PNG"));
    DecodePng(Reader, Good);
    EXPECT_EQ(Good.Error, "");
    EXPECT_EQ(Good.Width, 3u);
    ASSERT_EQ(Good.Rows.size(), 24u);
    EXPECT_EQ(Good.Rows[12], 1);
    EXPECT_EQ(Good.Rows[23], 12);

    TPngRun Cut;
    ASSERT_TRUE(pkg_select_name(Reader, "cut.png"));
    DecodePng(Reader, Cut);
    EXPECT_EQ(Cut.Error, "Read Error");
}

} // namespace
} // namespace narvo

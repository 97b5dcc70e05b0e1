// Reading containers: the open with its layout detection and validation, the entry
// lookup, and the streaming and whole-entry reads.
//
// Every size, offset and count read from a file is checked against the file's length
// before it is used, so a damaged container fails to open instead of driving an
// allocation or a read past its end. Reads go through large buffers: the buffer sizes
// are not visible to callers, and small ones cost measurable time on big entries.
#include "data/pkg.h"
#include "data/pkg_internal.h"

#include <libdeflate.h>
#include <png.h>
#include <zlib.h>

#include <algorithm>
#include <climits>
#include <cstring>

namespace narvo {

using namespace pkg_detail;

namespace {

constexpr size_t InflateInputSize = 64 * 1024;
constexpr size_t CopyPieceSize = 64 * 1024;
constexpr size_t DirectoryRecordSize = 272;
// A zlib stream cannot expand its input by more than about 1032 to 1; a full size
// beyond that is a lie, and nothing is allocated from it.
constexpr uint64_t MaxInflateRatio = 1040;
constexpr size_t MaxRetainedInput = 64u << 20;

uint8_t FoldAscii(uint8_t C) { return (C >= 'a' && C <= 'z') ? uint8_t(C - 32) : C; }

bool ReadBytes(FILE* F, void* Buffer, size_t N) { return std::fread(Buffer, 1, N, F) == N; }

bool PlausibleFullSize(const PkgEntry& E) {
    return E.FullSize > 0 && uint64_t(E.FullSize) <= uint64_t(E.StoredSize) * MaxInflateRatio + 64;
}

} // namespace

struct PkgInflater {
    z_stream Stream{};
    bool Initialised = false;
    libdeflate_decompressor* Whole = nullptr;
    // Stored bytes of a whole-entry inflation, kept between extractions (up to a limit)
    // so that extracting many entries does not map and fault in fresh pages each time.
    std::vector<uint8_t> WholeInput;
    uint8_t Input[InflateInputSize];

    ~PkgInflater() {
        if (Initialised) inflateEnd(&Stream);
        if (Whole) libdeflate_free_decompressor(Whole);
    }
};

PkgReader::PkgReader() = default;
PkgReader::~PkgReader() { pkg_close(*this); }

uint32_t pkg_checksum(uint32_t H, const void* Data, size_t N) {
    const auto* P = static_cast<const uint8_t*>(Data);
    for (size_t I = 0; I < N; ++I)
        H = ((H << 1) | (H >> 31)) ^ uint32_t(int32_t(int8_t(P[I])));
    return H;
}

uint32_t pkg_checksum_u32(uint32_t H, uint32_t Value) {
    uint8_t Bytes[4];
    StoreLE32(Bytes, Value);
    return pkg_checksum(H, Bytes, 4);
}

bool pkg_has_magic(const std::string& Path, const char* Magic) {
    FILE* F = std::fopen(Path.c_str(), "rb");
    if (!F) return false;
    size_t Length = std::strlen(Magic);
    std::string Head(Length, '\0');
    bool Ok = ReadBytes(F, Head.data(), Length) && std::memcmp(Head.data(), Magic, Length) == 0;
    std::fclose(F);
    return Ok;
}

void pkg_close(PkgReader& Reader) {
    if (Reader.File) std::fclose(Reader.File);
    Reader.File = nullptr;
    Reader.Entries.clear();
    Reader.Entries.shrink_to_fit();
    Reader.Count = 0;
    Reader.Current = -1;
    Reader.MaskPos = 0;
    Reader.BasePos = 0;
    Reader.FileSize = 0;
    Reader.Header = PkgHeader{};
    std::memset(Reader.Mask, 0, sizeof Reader.Mask);
    Reader.InflateState = 1;
    Reader.Inflater.reset();
}

namespace {

// Walks the directory of a container whose count field is not 0.
bool ReadDirectory(PkgReader& R, FILE* F, uint32_t Count) {
    if (int32_t(Count) < 0) return false;
    uint64_t Pos = uint64_t(ftello(F));
    uint64_t Base = Pos + uint64_t(Count) * DirectoryRecordSize;
    if (Base > R.FileSize) return false;
    R.Entries.resize(Count);
    for (uint32_t I = 0; I < Count; ++I) {
        uint8_t Record[DirectoryRecordSize];
        if (!ReadBytes(F, Record, sizeof Record)) return false;
        PkgEntry& E = R.Entries[I];
        size_t NameLength = strnlen(reinterpret_cast<const char*>(Record), PkgMaxName);
        std::memcpy(E.Name, Record, NameLength);
        E.Name[NameLength] = '\0';
        uint32_t A = LoadLE32(Record + 256);
        uint32_t B = LoadLE32(Record + 260);
        uint32_t Offset = LoadLE32(Record + 264);
        E.StoredSize = LoadLE32(Record + 268);
        E.Compressed = (A & 0x80000000u) ? 1 : 0;
        E.Attribute1 = (A & 0x0F000000u) ? 1 : 0;
        E.NoExtract = E.Attribute1 ? 0 : 1;
        E.Extract = (B & 0x01000000u) ? 1 : 0;
        E.Masked = 0;
        E.FullSize = E.Compressed ? 0 : E.StoredSize;
        E.DataPos = Base + Offset;
        if (E.DataPos + E.StoredSize > R.FileSize) return false;
    }
    R.Header.Count = Count;
    R.BasePos = Base;
    return true;
}

// Walks the entry stream of a container whose count field is 0.
bool ReadEntryStream(PkgReader& R, FILE* F) {
    uint8_t Fields[12 + PkgMaskSize];
    if (!ReadBytes(F, Fields, sizeof Fields)) return false;
    R.Header.Flags = LoadBE32(Fields);
    R.Header.Value = LoadBE32(Fields + 4);
    R.Header.Checksum = LoadBE32(Fields + 8);
    std::memcpy(R.Mask, Fields + 12, PkgMaskSize);

    uint32_t H = pkg_checksum(0, R.Header.Magic, PkgMagicSize);
    H = pkg_checksum(H, R.Header.Text, PkgTextSize);
    H = pkg_checksum_u32(H, R.Header.Count);
    H = pkg_checksum_u32(H, R.Header.Flags);
    H = pkg_checksum_u32(H, R.Header.Value);
    if (H != R.Header.Checksum) return false;

    R.BasePos = uint64_t(ftello(F));
    for (;;) {
        uint8_t Mark[2];
        if (!ReadBytes(F, Mark, 2)) return false;
        if (Mark[0] == 'E' && Mark[1] == 'P') break;
        if (Mark[0] != 'L' || Mark[1] != 'I') return false;
        uint8_t Head[5];
        if (!ReadBytes(F, Head, sizeof Head)) return false;
        uint32_t Checksum = LoadBE32(Head);
        uint8_t NameLength = Head[4];
        uint8_t Rest[PkgMaxName + 20];
        if (!ReadBytes(F, Rest, NameLength + 20u)) return false;
        const uint8_t* Fixed = Rest + NameLength;
        uint32_t Attributes = LoadBE32(Fixed);

        PkgEntry E;
        std::memcpy(E.Name, Rest, NameLength);
        E.Name[NameLength] = '\0';
        E.Compressed = (Attributes & PkgAttr::Compressed) ? 1 : 0;
        E.Attribute1 = (Attributes & PkgAttr::Attribute1) ? 1 : 0;
        E.Extract = (Attributes & PkgAttr::Extract) ? 1 : 0;
        E.NoExtract = (Attributes & PkgAttr::NoExtract) ? 1 : 0;
        E.Masked = (Attributes & PkgAttr::Masked) ? 1 : 0;
        E.Value = LoadBE32(Fixed + 4);
        E.StoredSize = LoadBE32(Fixed + 8);
        E.FullSize = LoadBE32(Fixed + 12);
        E.DataChecksum = LoadBE32(Fixed + 16);
        E.DataPos = uint64_t(ftello(F));

        uint32_t Expected = pkg_checksum(0, &NameLength, 1);
        Expected = pkg_checksum(Expected, Rest, NameLength);
        const uint8_t Flags[4] = {E.Compressed, E.Attribute1, E.Extract, E.NoExtract};
        Expected = pkg_checksum(Expected, Flags, 4);
        Expected = pkg_checksum_u32(Expected, E.Value);
        Expected = pkg_checksum_u32(Expected, E.StoredSize);
        Expected = pkg_checksum_u32(Expected, E.FullSize);
        Expected = pkg_checksum_u32(Expected, E.DataChecksum);
        if (Expected != Checksum) return false;
        if (E.DataPos + E.StoredSize > R.FileSize) return false;

        if (!E.Compressed && E.FullSize == 0) E.FullSize = E.StoredSize;
        R.Entries.push_back(E);
        if (fseeko(F, off_t(E.DataPos + E.StoredSize), SEEK_SET) != 0) return false;
    }
    return !R.Entries.empty();
}

bool OpenFile(PkgReader& R, const std::string& Path) {
    FILE* F = std::fopen(Path.c_str(), "rb");
    if (!F) return false;
    R.File = F;
    if (fseeko(F, 0, SEEK_END) != 0) return false;
    off_t Size = ftello(F);
    if (Size < 0 || fseeko(F, 0, SEEK_SET) != 0) return false;
    R.FileSize = uint64_t(Size);

    char First[PkgMagicSize];
    if (!ReadBytes(F, First, PkgMagicSize)) return false;
    if (First[0] == 'M' && First[1] == 'Z') {
        // An executable comes first; the container starts after a long run of "-" and a "+".
        uint64_t Dashes = 0;
        for (;;) {
            int C = getc_unlocked(F);
            if (C == EOF) return false;
            if (C == '+' && Dashes > 200) break;
            Dashes = (C == '-') ? Dashes + 1 : 0;
        }
        if (!ReadBytes(F, First, PkgMagicSize)) return false;
    }
    std::memcpy(R.Header.Magic, First, PkgMagicSize);
    R.Header.Magic[PkgMagicSize] = '\0';

    uint8_t CountBytes[4];
    if (!ReadBytes(F, R.Header.Text, PkgTextSize) || !ReadBytes(F, CountBytes, 4)) return false;
    R.Header.Count = LoadLE32(CountBytes);
    if (R.Header.Count != 0 ? !ReadDirectory(R, F, R.Header.Count) : !ReadEntryStream(R, F))
        return false;
    R.Count = int(R.Entries.size());
    return true;
}

} // namespace

bool pkg_open(const std::string& Path, PkgReader& Reader) {
    pkg_close(Reader);
    if (OpenFile(Reader, Path)) return true;
    pkg_close(Reader);
    return false;
}

int pkg_find(const PkgReader& Reader, std::string_view Name) {
    if (Name.size() > PkgMaxName) return -1;
    for (int I = Reader.Count - 1; I >= 0; --I) {
        const char* Candidate = Reader.Entries[size_t(I)].Name;
        size_t Length = std::strlen(Candidate);
        if (Length != Name.size()) continue;
        size_t K = 0;
        while (K < Length && FoldAscii(uint8_t(Candidate[K])) == FoldAscii(uint8_t(Name[K]))) ++K;
        if (K == Length) return I;
    }
    return -1;
}

const PkgEntry* pkg_find_entry(const PkgReader& Reader, std::string_view Name) {
    return pkg_entry(Reader, pkg_find(Reader, Name));
}

const PkgEntry* pkg_entry(const PkgReader& Reader, int Index) {
    if (Index < 0 || Index >= Reader.Count) return nullptr;
    return &Reader.Entries[size_t(Index)];
}

namespace {

void EndInflation(PkgReader& R) {
    if (R.InflateState == 2) R.InflateState = 1;
}

bool StartInflation(PkgReader& R) {
    if (!R.Inflater) R.Inflater = std::make_unique<PkgInflater>();
    PkgInflater& I = *R.Inflater;
    int Result;
    if (I.Initialised) {
        Result = inflateReset(&I.Stream);
    } else {
        I.Stream = z_stream{};
        Result = inflateInit(&I.Stream);
        I.Initialised = (Result == Z_OK);
    }
    I.Stream.next_in = I.Input;
    I.Stream.avail_in = 0;
    if (Result != Z_OK) {
        R.InflateState = 0;
        return false;
    }
    R.InflateState = 2;
    return true;
}

// Stored bytes of the current entry, never past its end, unmasked.
size_t ReadStored(PkgReader& R, uint8_t* Buffer, size_t N) {
    const PkgEntry& E = R.Entries[size_t(R.Current)];
    size_t Left = E.StoredSize - R.MaskPos;
    if (N > Left) N = Left;
    if (N == 0) return 0;
    size_t Got = std::fread(Buffer, 1, N, R.File);
    if (E.Masked) ApplyMask(Buffer, Got, R.Mask, R.MaskPos);
    R.MaskPos += uint32_t(Got);
    return Got;
}

size_t ReadInflated(PkgReader& R, uint8_t* Buffer, size_t N) {
    if (R.InflateState != 2) return 0;
    z_stream& Z = R.Inflater->Stream;
    Z.next_out = Buffer;
    Z.avail_out = uInt(N);
    while (Z.avail_out > 0) {
        if (Z.avail_in == 0) {
            Z.next_in = R.Inflater->Input;
            Z.avail_in = uInt(ReadStored(R, R.Inflater->Input, InflateInputSize));
        }
        int Result = inflate(&Z, Z_NO_FLUSH);
        if (Result == Z_STREAM_END) {
            R.InflateState = 1;
            return N - Z.avail_out;
        }
        if (Result != Z_OK) {
            // Damaged data, or stored data that ends inside the stream.
            R.InflateState = 0;
            return 0;
        }
    }
    return N;
}

bool DataComplete(const PkgReader& R) {
    const PkgEntry& E = R.Entries[size_t(R.Current)];
    return E.Compressed ? R.InflateState == 1 : R.MaskPos == E.StoredSize;
}

} // namespace

bool pkg_select(PkgReader& Reader, int Index) {
    if (!Reader.File || Index < 0 || Index >= Reader.Count) return false;
    Reader.Current = -1;
    const PkgEntry& E = Reader.Entries[size_t(Index)];
    EndInflation(Reader);
    if (fseeko(Reader.File, off_t(E.DataPos), SEEK_SET) != 0) return false;
    Reader.MaskPos = 0;
    if (E.Compressed) {
        // After an inflate error the reader keeps refusing compressed entries until it
        // is opened again.
        if (Reader.InflateState == 0 || !StartInflation(Reader)) return false;
    }
    Reader.Current = Index;
    return true;
}

bool pkg_select_name(PkgReader& Reader, std::string_view Name) {
    return pkg_select(Reader, pkg_find(Reader, Name));
}

size_t pkg_read(PkgReader& Reader, void* Buffer, size_t N) {
    if (!Reader.File || Reader.Current < 0 || N == 0) return 0;
    // zlib counts in 32 bits; callers loop until a short read anyway.
    if (N > (size_t(1) << 30)) N = size_t(1) << 30;
    auto* Out = static_cast<uint8_t*>(Buffer);
    if (Reader.Entries[size_t(Reader.Current)].Compressed) return ReadInflated(Reader, Out, N);
    return ReadStored(Reader, Out, N);
}

bool pkg_read_all(PkgReader& Reader, std::string& Out) {
    if (!Reader.File || Reader.Current < 0) return false;
    for (;;) {
        size_t Old = Out.size();
        Out.resize(Old + CopyPieceSize);
        size_t Got = pkg_read(Reader, Out.data() + Old, CopyPieceSize);
        Out.resize(Old + Got);
        if (Got < CopyPieceSize) break;
    }
    return DataComplete(Reader);
}

bool pkg_read_all(PkgReader& Reader, FILE* Out) {
    if (!Reader.File || Reader.Current < 0) return false;
    auto Piece = std::make_unique<uint8_t[]>(CopyPieceSize);
    bool Written = true;
    for (;;) {
        size_t Got = pkg_read(Reader, Piece.get(), CopyPieceSize);
        if (Got > 0 && std::fwrite(Piece.get(), 1, Got, Out) != Got) Written = false;
        if (Got < CopyPieceSize) break;
    }
    return Written && DataComplete(Reader);
}

namespace {

// A compressed entry whose full size is known inflates in one call, which is several
// times faster than streaming. Anything unexpected (a size that does not match, damaged
// data) leaves the work to the streaming path, which has the last word.
bool ExtractWhole(PkgReader& R, std::string& Out) {
    const PkgEntry& E = R.Entries[size_t(R.Current)];
    if (!R.Inflater->Whole) {
        R.Inflater->Whole = libdeflate_alloc_decompressor();
        if (!R.Inflater->Whole) return false;
    }
    std::vector<uint8_t>& Stored = R.Inflater->WholeInput;
    if (Stored.size() < E.StoredSize) {
        Stored.clear();
        Stored.resize(E.StoredSize);
    }
    bool Read = ReadStored(R, Stored.data(), E.StoredSize) == E.StoredSize;
    libdeflate_result Result = LIBDEFLATE_BAD_DATA;
    if (Read) {
        Out.resize(E.FullSize);
        size_t UsedIn = 0;
        Result = libdeflate_zlib_decompress_ex(R.Inflater->Whole, Stored.data(), E.StoredSize,
                                               Out.data(), Out.size(), &UsedIn, nullptr);
    }
    if (Stored.size() > MaxRetainedInput) {
        Stored.clear();
        Stored.shrink_to_fit();
    }
    if (Result != LIBDEFLATE_SUCCESS) {
        Out.clear();
        return false;
    }
    EndInflation(R);
    return true;
}

} // namespace

bool pkg_extract_index(std::string& Out, int Index, PkgReader& Reader) {
    Out.clear();
    if (!pkg_select(Reader, Index)) return false;
    const PkgEntry& E = Reader.Entries[size_t(Index)];
    if (!E.Compressed) {
        Out.resize(E.StoredSize);
        size_t Got = ReadStored(Reader, reinterpret_cast<uint8_t*>(Out.data()), E.StoredSize);
        Out.resize(Got);
        return Got == E.StoredSize;
    }
    if (PlausibleFullSize(E)) {
        if (ExtractWhole(Reader, Out)) return true;
        if (!pkg_select(Reader, Index)) return false;
        Out.reserve(E.FullSize);
    }
    return pkg_read_all(Reader, Out);
}

bool pkg_extract_index(FILE* Out, int Index, PkgReader& Reader) {
    if (!pkg_select(Reader, Index)) return false;
    return pkg_read_all(Reader, Out);
}

bool pkg_extract(std::string& Out, std::string_view Name, PkgReader& Reader) {
    int Index = pkg_find(Reader, Name);
    if (Index < 0) {
        Out.clear();
        return false;
    }
    return pkg_extract_index(Out, Index, Reader);
}

bool pkg_load_strings(std::string_view Name, TStringList& List, PkgReader& Reader) {
    std::string Bytes;
    if (!pkg_extract(Bytes, Name, Reader)) return false;
    List = TextToStringList(Bytes);
    return true;
}

void pkg_png_read(png_struct_def* Png, unsigned char* Buffer, size_t N) {
    auto* Reader = static_cast<PkgReader*>(png_get_io_ptr(Png));
    size_t Total = 0;
    while (Total < N) {
        size_t Got = pkg_read(*Reader, Buffer + Total, N - Total);
        if (Got == 0) break;
        Total += Got;
    }
    if (Total < N) png_error(Png, "Read Error");
}

} // namespace narvo

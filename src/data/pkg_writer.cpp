// Writing containers in the entry-stream layout: header and mask, entries written
// through an optional deflater and the mask, the record's fixed fields filled in when
// the entry ends, and the end mark.
//
// Every write is checked; `pkg_finish` answers whether the whole container reached the
// file. With `PkgWriter::Atomic` the bytes go to a temporary file that replaces the
// target only then, so an interrupted save never destroys the previous one.
#include "data/pkg.h"
#include "data/pkg_internal.h"
#include "platform/files.h"

#include <zlib.h>

#include <chrono>
#include <cstring>
#include <random>

namespace narvo {

using namespace pkg_detail;

namespace {

constexpr size_t OutputBufferSize = 64 * 1024;
constexpr size_t CopyPieceSize = 64 * 1024;
constexpr size_t StubDashes = 255;

} // namespace

struct PkgDeflater {
    z_stream Stream{};
    bool Initialised = false;
    uint8_t Output[OutputBufferSize];
    uint8_t Masked[OutputBufferSize];

    ~PkgDeflater() {
        if (Initialised) deflateEnd(&Stream);
    }
};

PkgWriter::PkgWriter() = default;
PkgWriter::~PkgWriter() {
    // An unfinished container is left without its end mark (or, written atomically,
    // not at all), so it can never be mistaken for a complete one.
    if (File && !AtomicOut) std::fclose(File);
    File = nullptr;
}

namespace {

void CloseOutput(PkgWriter& W) {
    if (W.AtomicOut) {
        W.AtomicOut->Abort();
        W.AtomicOut.reset();
    } else if (W.File) {
        std::fclose(W.File);
    }
    W.File = nullptr;
}

void Put(PkgWriter& W, const void* Data, size_t N) {
    if (N > 0 && std::fwrite(Data, 1, N, W.File) != N) W.Failed = true;
}

bool OpenOutput(PkgWriter& W, const std::string& Path, const char* Mode) {
    CloseOutput(W);
    W.Failed = false;
    W.InEntry = false;
    if (W.Atomic) {
        W.AtomicOut = std::make_unique<TAtomicFile>();
        if (!W.AtomicOut->Open(Path)) {
            W.AtomicOut.reset();
            return false;
        }
        W.File = W.AtomicOut->Stream();
    } else {
        W.File = std::fopen(Path.c_str(), Mode);
    }
    return W.File != nullptr;
}

void MakeMask(uint8_t* Mask) {
    std::random_device Device;
    auto Now = uint64_t(std::chrono::steady_clock::now().time_since_epoch().count());
    std::seed_seq Seed{Device(), Device(), uint32_t(Now), uint32_t(Now >> 32)};
    std::mt19937 Generator(Seed);
    for (size_t I = 0; I < PkgMaskSize; ++I) Mask[I] = uint8_t(Generator());
}

bool WriteHeader(PkgWriter& W) {
    MakeMask(W.Mask);
    W.MaskKnown = true;
    W.Header.Count = 0;
    uint32_t H = pkg_checksum(0, W.Header.Magic, PkgMagicSize);
    H = pkg_checksum(H, W.Header.Text, PkgTextSize);
    H = pkg_checksum_u32(H, W.Header.Count);
    H = pkg_checksum_u32(H, W.Header.Flags);
    H = pkg_checksum_u32(H, W.Header.Value);
    W.Header.Checksum = H;

    uint8_t Bytes[PkgHeaderSize];
    std::memcpy(Bytes, W.Header.Magic, PkgMagicSize);
    std::memcpy(Bytes + 8, W.Header.Text, PkgTextSize);
    StoreLE32(Bytes + 264, W.Header.Count);
    StoreBE32(Bytes + 268, W.Header.Flags);
    StoreBE32(Bytes + 272, W.Header.Value);
    StoreBE32(Bytes + 276, W.Header.Checksum);
    std::memcpy(Bytes + 280, W.Mask, PkgMaskSize);
    Put(W, Bytes, sizeof Bytes);
    return !W.Failed;
}

// The stored-write path: data checksum over the bytes before masking, then the mask.
void WriteStored(PkgWriter& W, const uint8_t* Data, size_t N) {
    W.DataChecksum = pkg_checksum(W.DataChecksum, Data, N);
    if (!W.Masked) {
        Put(W, Data, N);
    } else {
        if (!W.Deflater) W.Deflater = std::make_unique<PkgDeflater>();
        uint8_t* Scratch = W.Deflater->Masked;
        size_t Done = 0;
        while (Done < N) {
            size_t Run = std::min(N - Done, OutputBufferSize);
            CopyMasked(Scratch, Data + Done, Run, W.Mask, W.MaskPos + uint32_t(Done));
            Put(W, Scratch, Run);
            Done += Run;
        }
    }
    W.MaskPos += uint32_t(N);
}

// Runs the deflater over the pending input; writes every full output buffer and, when
// finishing, the last partial one.
bool Deflate(PkgWriter& W, int Flush) {
    PkgDeflater& D = *W.Deflater;
    z_stream& Z = D.Stream;
    for (;;) {
        int Result = deflate(&Z, Flush);
        if (Result == Z_STREAM_ERROR) {
            W.DeflateState = 0;
            return false;
        }
        if (Z.avail_out == 0) {
            WriteStored(W, D.Output, OutputBufferSize);
            Z.next_out = D.Output;
            Z.avail_out = OutputBufferSize;
            continue;
        }
        if (Flush == Z_FINISH) {
            if (Result != Z_STREAM_END) continue;
            WriteStored(W, D.Output, OutputBufferSize - Z.avail_out);
            Z.next_out = D.Output;
            Z.avail_out = OutputBufferSize;
            return true;
        }
        if (Z.avail_in == 0) return true;
    }
}

uint32_t AttributeWord(const PkgWriter& W) {
    uint32_t A = 0;
    if (W.Compressed) A |= PkgAttr::Compressed;
    if (W.Attribute1) A |= PkgAttr::Attribute1;
    if (W.Extract) A |= PkgAttr::Extract;
    if (W.NoExtract) A |= PkgAttr::NoExtract;
    if (W.Masked) A |= PkgAttr::Masked;
    return A;
}

} // namespace

void pkg_writer_init(PkgWriter& Writer) {
    CloseOutput(Writer);
    Writer.EntryStart = Writer.DataStart = 0;
    Writer.Header = PkgHeader{};
    std::memset(Writer.Mask, 0, sizeof Writer.Mask);
    std::memset(Writer.Name, 0, sizeof Writer.Name);
    Writer.NameLength = 0;
    Writer.Compressed = Writer.Attribute1 = Writer.Extract = Writer.NoExtract = Writer.Masked = 0;
    Writer.Value = 0;
    Writer.StoredSize = Writer.FullSize = Writer.DataChecksum = Writer.MaskPos = 0;
    Writer.DeflateState = 1;
    Writer.MaskKnown = true;
    Writer.InEntry = false;
    Writer.Failed = false;
}

bool pkg_writer_magic(PkgWriter& Writer, const char* Magic) {
    Writer.Header = PkgHeader{};
    size_t Length = std::strlen(Magic);
    if (Length > PkgMagicSize) return false;
    std::memcpy(Writer.Header.Magic, Magic, Length);
    return true;
}

bool pkg_create(PkgWriter& Writer, const std::string& Path) {
    if (!OpenOutput(Writer, Path, "wb")) return false;
    if (WriteHeader(Writer)) return true;
    CloseOutput(Writer);
    return false;
}

bool pkg_create_with_stub(PkgWriter& Writer, const std::string& Path,
                          const std::string& ExecutablePath) {
    FILE* Exe = std::fopen(ExecutablePath.c_str(), "rb");
    if (!Exe) return false;
    if (!OpenOutput(Writer, Path, "wb")) {
        std::fclose(Exe);
        return false;
    }
    auto Piece = std::make_unique<uint8_t[]>(CopyPieceSize);
    size_t Got;
    while ((Got = std::fread(Piece.get(), 1, CopyPieceSize, Exe)) > 0) Put(Writer, Piece.get(), Got);
    if (std::ferror(Exe)) Writer.Failed = true;
    std::fclose(Exe);
    char Separator[StubDashes + 1];
    std::memset(Separator, '-', StubDashes);
    Separator[StubDashes] = '+';
    Put(Writer, Separator, sizeof Separator);
    if (!Writer.Failed && WriteHeader(Writer)) return true;
    CloseOutput(Writer);
    return false;
}

bool pkg_append(PkgWriter& Writer, const std::string& Path) {
    FILE* Old = std::fopen(Path.c_str(), Writer.Atomic ? "rb" : "r+b");
    if (!Old) return false;
    char Mark[2];
    off_t Size = -1;
    if (fseeko(Old, -2, SEEK_END) != 0 || std::fread(Mark, 1, 2, Old) != 2 || Mark[0] != 'E' ||
        Mark[1] != 'P' || (Size = ftello(Old)) < 2) {
        std::fclose(Old);
        return false;
    }
    std::memset(Writer.Mask, 0, sizeof Writer.Mask);
    if (!Writer.Atomic) {
        CloseOutput(Writer);
        Writer.Failed = false;
        Writer.InEntry = false;
        if (fseeko(Old, -2, SEEK_END) != 0) {
            std::fclose(Old);
            return false;
        }
        Writer.File = Old;
    } else {
        // Copy everything but the end mark into the temporary file; the old file stays
        // untouched until the new one is complete.
        if (!OpenOutput(Writer, Path, "wb") || fseeko(Old, 0, SEEK_SET) != 0) {
            std::fclose(Old);
            CloseOutput(Writer);
            return false;
        }
        auto Piece = std::make_unique<uint8_t[]>(CopyPieceSize);
        uint64_t Left = uint64_t(Size) - 2;
        while (Left > 0) {
            size_t Want = size_t(std::min<uint64_t>(Left, CopyPieceSize));
            if (std::fread(Piece.get(), 1, Want, Old) != Want) {
                Writer.Failed = true;
                break;
            }
            Put(Writer, Piece.get(), Want);
            Left -= Want;
        }
        std::fclose(Old);
        if (Writer.Failed) {
            CloseOutput(Writer);
            return false;
        }
    }
    Writer.MaskKnown = false;
    return true;
}

bool pkg_begin_entry(PkgWriter& Writer, std::string_view Name) {
    if (!Writer.File || Writer.InEntry || Name.size() > PkgMaxName) return false;
    if (Writer.Masked && !Writer.MaskKnown) return false;
    std::memset(Writer.Name, 0, sizeof Writer.Name);
    std::memcpy(Writer.Name, Name.data(), Name.size());
    Writer.NameLength = uint8_t(Name.size());
    off_t Start = ftello(Writer.File);
    if (Start < 0) return false;
    Writer.EntryStart = uint64_t(Start);
    uint8_t Placeholder[PkgMaxName + PkgEntryFixedSize] = {};
    Put(Writer, Placeholder, Writer.NameLength + PkgEntryFixedSize);
    Writer.DataStart = Writer.EntryStart + Writer.NameLength + PkgEntryFixedSize;
    Writer.StoredSize = Writer.FullSize = Writer.DataChecksum = Writer.MaskPos = 0;
    if (Writer.Compressed) {
        if (!Writer.Deflater) Writer.Deflater = std::make_unique<PkgDeflater>();
        PkgDeflater& D = *Writer.Deflater;
        int Result;
        if (D.Initialised) {
            Result = deflateReset(&D.Stream);
        } else {
            D.Stream = z_stream{};
            Result = deflateInit(&D.Stream, Z_DEFAULT_COMPRESSION);
            D.Initialised = (Result == Z_OK);
        }
        if (Result != Z_OK) {
            Writer.DeflateState = 0;
            return false;
        }
        D.Stream.next_out = D.Output;
        D.Stream.avail_out = OutputBufferSize;
        Writer.DeflateState = 2;
    }
    Writer.InEntry = true;
    return !Writer.Failed;
}

bool pkg_write(PkgWriter& Writer, const void* Data, size_t N) {
    if (!Writer.InEntry) return false;
    const auto* P = static_cast<const uint8_t*>(Data);
    if (!Writer.Compressed) {
        WriteStored(Writer, P, N);
        return !Writer.Failed;
    }
    if (Writer.DeflateState != 2) return false;
    if (uint64_t(Writer.FullSize) + N > UINT32_MAX) {
        Writer.Failed = true;
        return false;
    }
    Writer.FullSize += uint32_t(N);
    z_stream& Z = Writer.Deflater->Stream;
    while (N > 0) {
        uInt Chunk = uInt(std::min<size_t>(N, size_t(1) << 30));
        Z.next_in = const_cast<Bytef*>(P);
        Z.avail_in = Chunk;
        if (!Deflate(Writer, Z_NO_FLUSH)) return false;
        P += Chunk;
        N -= Chunk;
    }
    return !Writer.Failed;
}

bool pkg_end_entry(PkgWriter& Writer) {
    if (!Writer.InEntry) return false;
    Writer.InEntry = false;
    if (Writer.Compressed) {
        if (Writer.DeflateState != 2) return false;
        Writer.Deflater->Stream.next_in = nullptr;
        Writer.Deflater->Stream.avail_in = 0;
        bool Ok = Deflate(Writer, Z_FINISH);
        Writer.DeflateState = Ok ? 1 : 0;
        if (!Ok) return false;
    }
    off_t End = ftello(Writer.File);
    if (End < 0 || uint64_t(End) - Writer.DataStart > UINT32_MAX) {
        Writer.Failed = true;
        return false;
    }
    Writer.StoredSize = uint32_t(uint64_t(End) - Writer.DataStart);

    const uint8_t Flags[4] = {Writer.Compressed ? uint8_t(1) : uint8_t(0),
                              Writer.Attribute1 ? uint8_t(1) : uint8_t(0),
                              Writer.Extract ? uint8_t(1) : uint8_t(0),
                              Writer.NoExtract ? uint8_t(1) : uint8_t(0)};
    uint32_t H = pkg_checksum(0, &Writer.NameLength, 1);
    H = pkg_checksum(H, Writer.Name, Writer.NameLength);
    H = pkg_checksum(H, Flags, 4);
    H = pkg_checksum_u32(H, Writer.Value);
    H = pkg_checksum_u32(H, Writer.StoredSize);
    H = pkg_checksum_u32(H, Writer.FullSize);
    H = pkg_checksum_u32(H, Writer.DataChecksum);

    uint8_t Record[PkgMaxName + PkgEntryFixedSize];
    size_t L = Writer.NameLength;
    Record[0] = 'L';
    Record[1] = 'I';
    StoreBE32(Record + 2, H);
    Record[6] = Writer.NameLength;
    std::memcpy(Record + 7, Writer.Name, L);
    StoreBE32(Record + 7 + L, AttributeWord(Writer));
    StoreBE32(Record + 11 + L, Writer.Value);
    StoreBE32(Record + 15 + L, Writer.StoredSize);
    StoreBE32(Record + 19 + L, Writer.FullSize);
    StoreBE32(Record + 23 + L, Writer.DataChecksum);
    if (fseeko(Writer.File, off_t(Writer.EntryStart), SEEK_SET) != 0) {
        Writer.Failed = true;
        return false;
    }
    Put(Writer, Record, L + PkgEntryFixedSize);
    if (fseeko(Writer.File, 0, SEEK_END) != 0) Writer.Failed = true;
    return !Writer.Failed;
}

bool pkg_finish(PkgWriter& Writer) {
    if (!Writer.File) return false;
    if (Writer.InEntry && !pkg_end_entry(Writer)) Writer.Failed = true;
    Put(Writer, "EP", 2);
    bool Ok = !Writer.Failed;
    if (Writer.AtomicOut) {
        Ok = Ok && Writer.AtomicOut->Commit().Ok;
        if (!Ok) Writer.AtomicOut->Abort();
        Writer.AtomicOut.reset();
    } else {
        Ok = (std::fflush(Writer.File) == 0) && Ok;
        Ok = (std::fclose(Writer.File) == 0) && Ok;
    }
    Writer.File = nullptr;
    return Ok;
}

bool pkg_add_file(PkgWriter& Writer, const std::string& Path, std::string_view Name) {
    FILE* In = std::fopen(Path.c_str(), "rb");
    if (!In) return false;
    bool Ok = pkg_begin_entry(Writer, Name);
    if (Ok) {
        auto Piece = std::make_unique<uint8_t[]>(CopyPieceSize);
        size_t Got;
        while (Ok && (Got = std::fread(Piece.get(), 1, CopyPieceSize, In)) > 0)
            Ok = pkg_write(Writer, Piece.get(), Got);
        if (std::ferror(In)) Ok = false;
        Ok = pkg_end_entry(Writer) && Ok;
    }
    std::fclose(In);
    return Ok;
}

bool pkg_write_strings(PkgWriter& Writer, const TStringList& List, std::string_view Name) {
    return pkg_write_stream(Writer, StringListToText(List), Name);
}

bool pkg_write_stream(PkgWriter& Writer, std::string_view Bytes, std::string_view Name) {
    if (!pkg_begin_entry(Writer, Name)) return false;
    bool Ok = pkg_write(Writer, Bytes.data(), Bytes.size());
    return pkg_end_entry(Writer) && Ok;
}

} // namespace narvo

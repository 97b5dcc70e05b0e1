// The container library: packages ("NV5PKG"), the runtime library ("NV5LIB") and save
// files ("NV5SAVE") share one format of named entries, optionally zlib-compressed and
// XOR-masked, optionally placed after an executable. `PkgReader` reads both layouts the
// format knows; `PkgWriter` writes the entry-stream layout. docs/containers.md describes
// the bytes.
#pragma once

#include "system/icm_sub.h"

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// The PNG decoder's read callback type, without pulling png.h into every user.
struct png_struct_def;

namespace narvo {

class TAtomicFile;

// Attribute bits of an entry in the entry-stream layout.
namespace PkgAttr {
constexpr uint32_t Compressed = 0x80000000u;
constexpr uint32_t Attribute1 = 0x00800000u;
constexpr uint32_t Extract = 0x00400000u;
constexpr uint32_t NoExtract = 0x00100000u;
constexpr uint32_t Masked = 0x00080000u;
} // namespace PkgAttr

constexpr size_t PkgMagicSize = 8;
constexpr size_t PkgTextSize = 256;
constexpr size_t PkgMaskSize = 256;
constexpr size_t PkgMaxName = 255;
// Size of the entry-stream header: magic, text, count, flags, value, checksum, mask.
constexpr size_t PkgHeaderSize = 8 + 256 + 4 + 4 + 4 + 4 + 256;
// Fixed bytes of an entry-stream record besides its name: "LI", checksum, name length,
// attributes, value, stored size, full size, data checksum.
constexpr size_t PkgEntryFixedSize = 27;

struct PkgHeader {
    char Magic[PkgMagicSize + 1] = {};
    uint8_t Text[PkgTextSize] = {};
    uint32_t Count = 0;
    uint32_t Flags = 0;
    uint32_t Value = 0;
    uint32_t Checksum = 0;
};

struct PkgEntry {
    char Name[PkgMaxName + 1] = {};
    uint8_t Compressed = 0;
    uint8_t Attribute1 = 0;
    uint8_t Extract = 0;
    uint8_t NoExtract = 0;
    uint8_t Masked = 0;
    uint32_t Value = 0;
    uint64_t DataPos = 0; // absolute file position of the first stored byte
    uint32_t StoredSize = 0;
    uint32_t FullSize = 0; // 0 only for a compressed entry whose size is unknown
    uint32_t DataChecksum = 0;
};

struct PkgInflater; // zlib stream and input buffer, private to the reader

struct PkgReader {
    PkgReader();
    ~PkgReader();
    PkgReader(const PkgReader&) = delete;
    PkgReader& operator=(const PkgReader&) = delete;

    FILE* File = nullptr;
    int Count = 0;
    uint64_t BasePos = 0;
    uint64_t FileSize = 0;
    uint32_t MaskPos = 0; // stored bytes of the current entry read so far
    PkgHeader Header;
    uint8_t Mask[PkgMaskSize] = {};
    int Current = -1; // index of the current entry, -1 for none
    std::vector<PkgEntry> Entries;
    int InflateState = 1; // 0 failed, 1 idle, 2 inflating
    std::unique_ptr<PkgInflater> Inflater;
};

// --- Reading ---------------------------------------------------------------------------

// The running checksum: rotate left by one, then XOR the byte sign-extended.
uint32_t pkg_checksum(uint32_t H, const void* Data, size_t N);
uint32_t pkg_checksum_u32(uint32_t H, uint32_t Value); // least significant byte first

bool pkg_has_magic(const std::string& Path, const char* Magic);
bool pkg_open(const std::string& Path, PkgReader& Reader);
void pkg_close(PkgReader& Reader);

// Last entry of the name wins; ASCII letters compare without case, every byte folded.
int pkg_find(const PkgReader& Reader, std::string_view Name);
const PkgEntry* pkg_find_entry(const PkgReader& Reader, std::string_view Name);
const PkgEntry* pkg_entry(const PkgReader& Reader, int Index);

bool pkg_select(PkgReader& Reader, int Index);
bool pkg_select_name(PkgReader& Reader, std::string_view Name);
// Up to N bytes of the current entry's uncompressed data; 0 at its end or after an
// inflate error.
size_t pkg_read(PkgReader& Reader, void* Buffer, size_t N);

// The rest of the current entry appended to `Out` (or written to `Out`). False when the
// data could not be inflated or the stream could not be written; what was read before
// the fault has been delivered.
bool pkg_read_all(PkgReader& Reader, std::string& Out);
bool pkg_read_all(PkgReader& Reader, FILE* Out);

// Exactly the entry's uncompressed bytes into `Out` (replacing its content). False if
// the entry is missing or its data is damaged.
bool pkg_extract(std::string& Out, std::string_view Name, PkgReader& Reader);
bool pkg_extract_index(std::string& Out, int Index, PkgReader& Reader);
bool pkg_extract_index(FILE* Out, int Index, PkgReader& Reader);

bool pkg_load_strings(std::string_view Name, TStringList& List, PkgReader& Reader);

// Read callback for the PNG decoder, whose I/O pointer is the reader with the picture's
// entry selected. Raises the decoder's error "Read Error" when the entry ends early.
void pkg_png_read(png_struct_def* Png, unsigned char* Buffer, size_t N);

// --- Writing -----------------------------------------------------------------------------

struct PkgDeflater; // zlib stream and output buffer, private to the writer

struct PkgWriter {
    PkgWriter();
    ~PkgWriter();
    PkgWriter(const PkgWriter&) = delete;
    PkgWriter& operator=(const PkgWriter&) = delete;

    // Set before `pkg_create` / `pkg_append`: the output goes to a temporary file that
    // replaces the target only when `pkg_finish` succeeds, so an interrupted write
    // leaves the old file as it was.
    bool Atomic = false;

    FILE* File = nullptr;
    uint64_t EntryStart = 0;
    uint64_t DataStart = 0;
    PkgHeader Header;
    uint8_t Mask[PkgMaskSize] = {};
    char Name[PkgMaxName + 1] = {};
    uint8_t NameLength = 0;
    // The attributes of the next entry, set by the caller before `pkg_begin_entry`.
    uint8_t Compressed = 0;
    uint8_t Attribute1 = 0;
    uint8_t Extract = 0;
    uint8_t NoExtract = 0;
    uint8_t Masked = 0;
    uint32_t Value = 0;
    uint32_t StoredSize = 0;
    uint32_t FullSize = 0;
    uint32_t DataChecksum = 0;
    uint32_t MaskPos = 0;
    int DeflateState = 1; // 0 failed, 1 idle, 2 deflating
    // False after `pkg_append`: the container's own mask is unknown, so masked entries
    // are refused rather than written with a mask the readers would not undo.
    bool MaskKnown = true;
    bool InEntry = false;
    bool Failed = false; // a write or seek failed; `pkg_finish` reports it
    std::unique_ptr<PkgDeflater> Deflater;
    std::unique_ptr<TAtomicFile> AtomicOut;
};

void pkg_writer_init(PkgWriter& Writer);
bool pkg_writer_magic(PkgWriter& Writer, const char* Magic);
bool pkg_create(PkgWriter& Writer, const std::string& Path);
bool pkg_create_with_stub(PkgWriter& Writer, const std::string& Path,
                          const std::string& ExecutablePath);
bool pkg_append(PkgWriter& Writer, const std::string& Path);
bool pkg_begin_entry(PkgWriter& Writer, std::string_view Name);
bool pkg_write(PkgWriter& Writer, const void* Data, size_t N);
bool pkg_end_entry(PkgWriter& Writer);
// Writes the end mark and closes (commits) the file; false if any write failed, in
// which case an atomic writer leaves the old file untouched.
bool pkg_finish(PkgWriter& Writer);
bool pkg_add_file(PkgWriter& Writer, const std::string& Path, std::string_view Name);
bool pkg_write_strings(PkgWriter& Writer, const TStringList& List, std::string_view Name);
bool pkg_write_stream(PkgWriter& Writer, std::string_view Bytes, std::string_view Name);

} // namespace narvo

// Opens arbitrary bytes as a container and reads every entry every way the player does:
// streaming reads of odd sizes, whole-entry reads and extraction by name.
#include "data/pkg.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <unistd.h>

namespace {

std::string TempPath() {
    static std::string Path = "/tmp/fuzz_pkg_" + std::to_string(getpid()) + ".bin";
    return Path;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
    using namespace narvo;
    const std::string& Path = TempPath();
    FILE* F = std::fopen(Path.c_str(), "wb");
    if (!F) return 0;
    std::fwrite(Data, 1, Size, F);
    std::fclose(F);

    PkgReader Reader;
    if (!pkg_open(Path, Reader)) return 0;
    uint8_t Buffer[777];
    for (int I = 0; I < Reader.Count; ++I) {
        const PkgEntry* E = pkg_entry(Reader, I);
        if (pkg_select(Reader, I)) {
            size_t Total = 0;
            size_t Got;
            while ((Got = pkg_read(Reader, Buffer, sizeof Buffer)) > 0) Total += Got;
            if (!E->Compressed && Total != E->StoredSize) __builtin_trap();
        }
        std::string All;
        if (pkg_select(Reader, I)) pkg_read_all(Reader, All);
        std::string Extracted;
        bool Ok = pkg_extract(Extracted, E->Name, Reader);
        // A stored entry always extracts whole; the last entry of a name is the one found.
        if (!E->Compressed && pkg_find(Reader, E->Name) == I && (!Ok || Extracted.size() != E->StoredSize))
            __builtin_trap();
    }
    pkg_close(Reader);
    return 0;
}

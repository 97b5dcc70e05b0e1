// narvo-tool pack: lists, extracts, creates and appends to containers (packages, the
// runtime library, save files) with the player's own container code.
#include "tool_commands.h"

#include "data/pkg.h"
#include "platform/encoding.h"
#include "platform/files.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace narvo::tool {

namespace {

const char* const Usage =
    "usage: narvo-tool pack list FILE\n"
    "       narvo-tool pack extract FILE NAME [OUT]\n"
    "       narvo-tool pack extract-all FILE DIR\n"
    "       narvo-tool pack create [--magic NV5PKG|NV5LIB|NV5SAVE] [--stub EXE] OUT\n"
    "                              [entry flags] FILE[=NAME] ...\n"
    "       narvo-tool pack append FILE [entry flags] FILE[=NAME] ...\n"
    "entry flags apply to the files after them:\n"
    "  --compress | --store          zlib-compress the data or store it as is\n"
    "  --mask | --no-mask            XOR the stored data with the container's mask\n"
    "                                (not with append: the container's mask is not read)\n"
    "  --extract | --no-extract-flag mark for unpacking into the data directory\n"
    "  --no-extract | --allow-extract  never unpack the entry / clear that mark\n"
    "  --attribute1 | --no-attribute1\n"
    "NAME (UTF-8) defaults to the file's base name; it is stored as Shift-JIS.\n";

int UsageError(const char* Why) {
    if (Why) std::fprintf(stderr, "narvo-tool pack: %s\n", Why);
    std::fputs(Usage, stderr);
    return 2;
}

bool OpenOrComplain(const std::string& Path, PkgReader& Reader) {
    if (pkg_open(Path, Reader)) return true;
    std::fprintf(stderr,
                 "narvo-tool pack: cannot open %s as a container (missing, damaged or not a "
                 "container)\n",
                 Path.c_str());
    return false;
}

std::string Attributes(const PkgEntry& E) {
    std::string A;
    if (E.Compressed) A += 'C';
    if (E.Attribute1) A += '1';
    if (E.Extract) A += 'X';
    if (E.NoExtract) A += 'N';
    if (E.Masked) A += 'M';
    return A.empty() ? "-" : A;
}

int List(const TArgs& Args) {
    if (Args.size() != 2) return UsageError("list takes one FILE");
    PkgReader Reader;
    if (!OpenOrComplain(Args[1], Reader)) return 1;
    for (int I = 0; I < Reader.Count; ++I) {
        const PkgEntry& E = *pkg_entry(Reader, I);
        std::printf("%d %s %s %u %u\n", I, SjisToUtf8(E.Name).c_str(), Attributes(E).c_str(),
                    E.StoredSize, E.FullSize);
    }
    return std::fflush(stdout) == 0 ? 0 : 1;
}

int Extract(const TArgs& Args) {
    if (Args.size() != 3 && Args.size() != 4) return UsageError("extract takes FILE NAME [OUT]");
    PkgReader Reader;
    if (!OpenOrComplain(Args[1], Reader)) return 1;
    int Index = pkg_find(Reader, Utf8ToSjis(Args[2]));
    if (Index < 0) {
        std::fprintf(stderr, "narvo-tool pack: no entry '%s' in %s\n", Args[2].c_str(),
                     Args[1].c_str());
        return 1;
    }
    bool Ok;
    if (Args.size() == 4) {
        std::string Bytes;
        Ok = pkg_extract_index(Bytes, Index, Reader);
        if (Ok) {
            TResult Written = AtomicWriteFile(Args[3], Bytes);
            if (!Written) {
                std::fprintf(stderr, "narvo-tool pack: %s\n", Written.Message.c_str());
                return 1;
            }
        }
    } else {
        Ok = pkg_extract_index(stdout, Index, Reader) && std::fflush(stdout) == 0;
    }
    if (!Ok) {
        std::fprintf(stderr, "narvo-tool pack: entry '%s' is damaged or could not be written\n",
                     Args[2].c_str());
        return 1;
    }
    return 0;
}

int ExtractAll(const TArgs& Args) {
    if (Args.size() != 3) return UsageError("extract-all takes FILE DIR");
    PkgReader Reader;
    if (!OpenOrComplain(Args[1], Reader)) return 1;
    const std::string& Dir = Args[2];
    int Status = 0;
    for (int I = 0; I < Reader.Count; ++I) {
        const PkgEntry& E = *pkg_entry(Reader, I);
        std::string Shown = SjisToUtf8(E.Name);
        std::string Relative = WorkNameToRelativePath(E.Name);
        if (!IsSafeRelativeName(E.Name) || Relative.empty()) {
            std::fprintf(stderr, "narvo-tool pack: refusing entry '%s': it would leave %s\n",
                         Shown.c_str(), Dir.c_str());
            Status = 1;
            continue;
        }
        std::string Path = JoinPath(Dir, Relative);
        std::string Parent = ExtractFileDir(Path);
        std::string Bytes;
        if (!Parent.empty() && !ForceDirectories(Parent)) {
            std::fprintf(stderr, "narvo-tool pack: cannot create folder %s\n", Parent.c_str());
            Status = 1;
            continue;
        }
        if (!pkg_extract_index(Bytes, I, Reader)) {
            std::fprintf(stderr, "narvo-tool pack: entry '%s' is damaged\n", Shown.c_str());
            Status = 1;
            continue;
        }
        if (TResult Written = AtomicWriteFile(Path, Bytes); !Written) {
            std::fprintf(stderr, "narvo-tool pack: %s\n", Written.Message.c_str());
            Status = 1;
        }
    }
    return Status;
}

// Adds the files of Args[From...] with the entry flags in between. `Appending` refuses
// masked entries, since an appending writer does not know the container's mask.
int AddEntries(PkgWriter& Writer, const TArgs& Args, size_t From, bool Appending) {
    size_t Added = 0;
    for (size_t I = From; I < Args.size(); ++I) {
        const std::string& A = Args[I];
        if (A == "--compress") Writer.Compressed = 1;
        else if (A == "--store") Writer.Compressed = 0;
        else if (A == "--mask") {
            if (Appending)
                return UsageError("append cannot write masked entries: the container's mask "
                                  "is not read when appending");
            Writer.Masked = 1;
        } else if (A == "--no-mask") Writer.Masked = 0;
        else if (A == "--extract") Writer.Extract = 1;
        else if (A == "--no-extract-flag") Writer.Extract = 0;
        else if (A == "--no-extract") Writer.NoExtract = 1;
        else if (A == "--allow-extract") Writer.NoExtract = 0;
        else if (A == "--attribute1") Writer.Attribute1 = 1;
        else if (A == "--no-attribute1") Writer.Attribute1 = 0;
        else if (A.size() > 2 && A.compare(0, 2, "--") == 0) {
            std::string Why = "unknown flag " + A;
            return UsageError(Why.c_str());
        } else {
            std::string File = A;
            std::string Name;
            size_t Equals = A.rfind('=');
            if (Equals != std::string::npos && !FileExists(A)) {
                File = A.substr(0, Equals);
                Name = A.substr(Equals + 1);
            } else {
                Name = ExtractFileName(File);
            }
            bool Replaced = false;
            std::string SjisName = Utf8ToSjis(Name, &Replaced);
            if (SjisName.empty() || SjisName.size() > PkgMaxName) {
                std::fprintf(stderr, "narvo-tool pack: entry name '%s' must be 1 to %zu bytes\n",
                             Name.c_str(), PkgMaxName);
                return 2;
            }
            if (Replaced)
                std::fprintf(stderr, "narvo-tool pack: warning: '%s' has characters Shift-JIS "
                                     "cannot hold\n",
                             Name.c_str());
            if (!pkg_add_file(Writer, File, SjisName)) {
                std::fprintf(stderr, "narvo-tool pack: cannot add %s\n", File.c_str());
                return 1;
            }
            ++Added;
        }
    }
    if (Added == 0) return UsageError("no files given");
    return 0;
}

int Finish(PkgWriter& Writer, const std::string& Path) {
    if (!pkg_finish(Writer)) {
        std::fprintf(stderr, "narvo-tool pack: cannot write %s\n", Path.c_str());
        return 1;
    }
    return 0;
}

int Create(const TArgs& Args) {
    std::string Magic = "NV5PKG";
    std::string Stub;
    size_t I = 1;
    for (; I < Args.size(); ++I) {
        if (Args[I] == "--magic" && I + 1 < Args.size()) Magic = Args[++I];
        else if (Args[I] == "--stub" && I + 1 < Args.size()) Stub = Args[++I];
        else break;
    }
    if (I >= Args.size()) return UsageError("create needs OUT and files");
    if (Magic != "NV5PKG" && Magic != "NV5LIB" && Magic != "NV5SAVE")
        return UsageError("--magic must be NV5PKG, NV5LIB or NV5SAVE");
    const std::string& Out = Args[I];
    if (Out.compare(0, 2, "--") == 0) return UsageError("create needs OUT before the entry flags");

    PkgWriter Writer;
    pkg_writer_init(Writer);
    Writer.Atomic = true;
    pkg_writer_magic(Writer, Magic.c_str());
    bool Created = Stub.empty() ? pkg_create(Writer, Out) : pkg_create_with_stub(Writer, Out, Stub);
    if (!Created) {
        std::fprintf(stderr, "narvo-tool pack: cannot create %s%s%s\n", Out.c_str(),
                     Stub.empty() ? "" : " with the executable ", Stub.c_str());
        return 1;
    }
    if (int Status = AddEntries(Writer, Args, I + 1, false)) return Status;
    return Finish(Writer, Out);
}

int Append(const TArgs& Args) {
    if (Args.size() < 3) return UsageError("append needs FILE and files");
    const std::string& Path = Args[1];
    PkgWriter Writer;
    pkg_writer_init(Writer);
    Writer.Atomic = true;
    if (!pkg_append(Writer, Path)) {
        std::fprintf(stderr, "narvo-tool pack: %s is missing or has no end mark\n", Path.c_str());
        return 1;
    }
    if (int Status = AddEntries(Writer, Args, 2, true)) return Status;
    return Finish(Writer, Path);
}

} // namespace

int RunPackTool(const TArgs& Args) {
    if (Args.empty()) return UsageError(nullptr);
    const std::string& Verb = Args[0];
    if (Verb == "list") return List(Args);
    if (Verb == "extract") return Extract(Args);
    if (Verb == "extract-all") return ExtractAll(Args);
    if (Verb == "create") return Create(Args);
    if (Verb == "append") return Append(Args);
    if (Verb == "--help" || Verb == "-h" || Verb == "help") {
        std::fputs(Usage, stdout);
        return 0;
    }
    std::string Why = "unknown action " + Verb;
    return UsageError(Why.c_str());
}

} // namespace narvo::tool

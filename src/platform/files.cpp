#include "platform/files.h"

#include "platform/encoding.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace narvo {

namespace {

char AsciiLower(char C) { return (C >= 'A' && C <= 'Z') ? char(C + 32) : C; }

bool SameNameIgnoringAsciiCase(std::string_view A, std::string_view B) {
    return A.size() == B.size() &&
           std::equal(A.begin(), A.end(), B.begin(),
                      [](char X, char Y) { return AsciiLower(X) == AsciiLower(Y); });
}

// "*" and "?" wildcards, ASCII case ignored; iterative with one backtrack point.
bool WildcardMatch(std::string_view Pattern, std::string_view Name) {
    size_t P = 0, N = 0, StarP = std::string_view::npos, StarN = 0;
    while (N < Name.size()) {
        if (P < Pattern.size() && (Pattern[P] == '?' || AsciiLower(Pattern[P]) == AsciiLower(Name[N]))) {
            ++P;
            ++N;
        } else if (P < Pattern.size() && Pattern[P] == '*') {
            StarP = P++;
            StarN = N;
        } else if (StarP != std::string_view::npos) {
            P = StarP + 1;
            N = ++StarN;
        } else {
            return false;
        }
    }
    while (P < Pattern.size() && Pattern[P] == '*') ++P;
    return P == Pattern.size();
}

std::vector<std::string> SplitWorkName(std::string_view Utf8Name) {
    std::vector<std::string> Parts;
    std::string Current;
    for (char C : Utf8Name) {
        if (C == '/' || C == '\\') {
            if (!Current.empty()) Parts.push_back(std::move(Current));
            Current.clear();
        } else {
            Current.push_back(C);
        }
    }
    if (!Current.empty()) Parts.push_back(std::move(Current));
    return Parts;
}

// The entry of `Dir` named `Name`: exact match first, then ASCII case ignored (the
// first such name in byte order, so the answer does not depend on directory order).
std::optional<std::string> FindEntry(const std::string& Dir, const std::string& Name) {
    std::string Exact = JoinPath(Dir, Name);
    struct stat St;
    if (lstat(Exact.c_str(), &St) == 0) return Exact;
    DIR* Handle = opendir(Dir.empty() ? "." : Dir.c_str());
    if (!Handle) return std::nullopt;
    std::optional<std::string> Best;
    while (dirent* Entry = readdir(Handle)) {
        std::string_view Candidate(Entry->d_name);
        if (SameNameIgnoringAsciiCase(Candidate, Name) && (!Best || Candidate < *Best))
            Best = std::string(Candidate);
    }
    closedir(Handle);
    if (!Best) return std::nullopt;
    return JoinPath(Dir, *Best);
}

} // namespace

bool FileExists(const std::string& Path) {
    struct stat St;
    return stat(Path.c_str(), &St) == 0 && S_ISREG(St.st_mode);
}

bool DirectoryExists(const std::string& Path) {
    struct stat St;
    return stat(Path.c_str(), &St) == 0 && S_ISDIR(St.st_mode);
}

bool CreateDir(const std::string& Path) {
    if (mkdir(Path.c_str(), 0777) == 0) return true;
    return errno == EEXIST && DirectoryExists(Path);
}

bool ForceDirectories(const std::string& Path) {
    if (Path.empty() || DirectoryExists(Path)) return !Path.empty();
    std::string Trimmed = Path;
    while (Trimmed.size() > 1 && Trimmed.back() == '/') Trimmed.pop_back();
    size_t Slash = Trimmed.rfind('/');
    if (Slash != std::string::npos && Slash > 0 && !ForceDirectories(Trimmed.substr(0, Slash)))
        return false;
    return CreateDir(Trimmed);
}

std::vector<std::string> FindFiles(const std::string& Dir, std::string_view Pattern) {
    std::vector<std::string> Names;
    DIR* Handle = opendir(Dir.empty() ? "." : Dir.c_str());
    if (!Handle) return Names;
    while (dirent* Entry = readdir(Handle)) {
        std::string Name = Entry->d_name;
        if (Name == "." || Name == ".." || !WildcardMatch(Pattern, Name)) continue;
        if (FileExists(JoinPath(Dir, Name))) Names.push_back(std::move(Name));
    }
    closedir(Handle);
    std::sort(Names.begin(), Names.end());
    return Names;
}

std::optional<std::string> ReadWholeFile(const std::string& Path) {
    FILE* File = std::fopen(Path.c_str(), "rb");
    if (!File) return std::nullopt;
    std::string Bytes;
    char Buffer[65536];
    size_t Got;
    while ((Got = std::fread(Buffer, 1, sizeof Buffer, File)) > 0) Bytes.append(Buffer, Got);
    bool Failed = std::ferror(File) != 0;
    std::fclose(File);
    if (Failed) return std::nullopt;
    return Bytes;
}

std::string ExtractFileDir(const std::string& Path) {
    size_t Slash = Path.rfind('/');
    return Slash == std::string::npos ? std::string() : Path.substr(0, Slash + 1);
}

std::string ExtractFileName(const std::string& Path) {
    size_t Slash = Path.rfind('/');
    return Slash == std::string::npos ? Path : Path.substr(Slash + 1);
}

std::string ChangeFileExt(const std::string& Path, const std::string& Extension) {
    size_t Slash = Path.rfind('/');
    size_t Dot = Path.rfind('.');
    if (Dot == std::string::npos || (Slash != std::string::npos && Dot < Slash)) return Path + Extension;
    return Path.substr(0, Dot) + Extension;
}

std::string JoinPath(const std::string& Dir, const std::string& Name) {
    if (Dir.empty()) return Name;
    if (Dir.back() == '/') return Dir + Name;
    return Dir + "/" + Name;
}

bool IsSafeRelativeName(std::string_view SjisName) {
    // Decode first: a Shift-JIS trail byte may be 0x5C, which is not a separator.
    std::string Name = SjisToUtf8(SjisName);
    if (Name.empty() || Name[0] == '/' || Name[0] == '\\') return false;
    if (Name.size() >= 2 && Name[1] == ':') return false;
    std::vector<std::string> Parts = SplitWorkName(Name);
    if (Parts.empty()) return false;
    for (const std::string& Part : Parts)
        if (Part == "..") return false;
    return true;
}

std::string WorkNameToRelativePath(std::string_view SjisName) {
    std::vector<std::string> Parts = SplitWorkName(SjisToUtf8(SjisName));
    std::string Path;
    for (const std::string& Part : Parts) {
        if (Part == ".") continue;
        if (!Path.empty()) Path.push_back('/');
        Path += Part;
    }
    return Path;
}

std::optional<std::string> ResolveWorkPath(const std::string& BaseDir, std::string_view SjisName) {
    if (!IsSafeRelativeName(SjisName)) return std::nullopt;
    std::string Current = BaseDir;
    std::vector<std::string> Parts = SplitWorkName(SjisToUtf8(SjisName));
    for (const std::string& Part : Parts) {
        if (Part == ".") continue;
        std::optional<std::string> Next = FindEntry(Current, Part);
        if (!Next) return std::nullopt;
        Current = std::move(*Next);
    }
    if (!FileExists(Current)) return std::nullopt;
    return Current;
}

// --- TAtomicFile ------------------------------------------------------------------------

TAtomicFile::~TAtomicFile() { Abort(); }

TResult TAtomicFile::Open(const std::string& Path) {
    Abort();
    Path_ = Path;
    TempPath_ = Path + ".tmp-XXXXXX";
    int Fd = mkstemp(TempPath_.data());
    if (Fd < 0) {
        TempPath_.clear();
        return TResult::Failure("cannot create a temporary file beside " + Path + ": " +
                                std::strerror(errno));
    }
    fchmod(Fd, 0644);
    Stream_ = fdopen(Fd, "wb");
    if (!Stream_) {
        close(Fd);
        unlink(TempPath_.c_str());
        TempPath_.clear();
        return TResult::Failure("cannot open " + Path);
    }
    Failed_ = false;
    return TResult::Success();
}

bool TAtomicFile::Write(std::string_view Bytes) {
    if (!Stream_ || Failed_) return false;
    if (std::fwrite(Bytes.data(), 1, Bytes.size(), Stream_) != Bytes.size()) Failed_ = true;
    return !Failed_;
}

TResult TAtomicFile::Commit() {
    if (!Stream_) return TResult::Failure("no file is open");
    bool Ok = !Failed_ && std::ferror(Stream_) == 0 && std::fflush(Stream_) == 0 &&
              fsync(fileno(Stream_)) == 0;
    int Err = errno;
    Ok = (std::fclose(Stream_) == 0) && Ok;
    Stream_ = nullptr;
    if (!Ok || std::rename(TempPath_.c_str(), Path_.c_str()) != 0) {
        if (Ok) Err = errno;
        unlink(TempPath_.c_str());
        TempPath_.clear();
        return TResult::Failure("cannot write " + Path_ + ": " + std::strerror(Err ? Err : EIO));
    }
    TempPath_.clear();
    // Make the rename itself durable.
    std::string Dir = ExtractFileDir(Path_);
    int DirFd = open(Dir.empty() ? "." : Dir.c_str(), O_RDONLY | O_DIRECTORY);
    if (DirFd >= 0) {
        fsync(DirFd);
        close(DirFd);
    }
    return TResult::Success();
}

void TAtomicFile::Abort() {
    if (Stream_) {
        std::fclose(Stream_);
        Stream_ = nullptr;
    }
    if (!TempPath_.empty()) {
        unlink(TempPath_.c_str());
        TempPath_.clear();
    }
}

TResult AtomicWriteFile(const std::string& Path, std::string_view Bytes) {
    TAtomicFile File;
    if (TResult Opened = File.Open(Path); !Opened) return Opened;
    if (!File.Write(Bytes)) return TResult::Failure("cannot write " + Path);
    return File.Commit();
}

} // namespace narvo

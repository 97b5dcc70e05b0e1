// File services of the player. Paths given to these functions are UTF-8 paths of this
// machine; names that come from a work (Shift-JIS, "\" or "/", any letter case) go
// through `ResolveWorkPath` or `WorkNameToRelativePath` first.
#pragma once

#include "platform/platform_types.h"

#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace narvo {

bool FileExists(const std::string& Path);
bool DirectoryExists(const std::string& Path);
// Creates one folder level; true when it exists afterwards.
bool CreateDir(const std::string& Path);
// Creates the folder and all missing parents; true when it exists afterwards.
bool ForceDirectories(const std::string& Path);

// Names (not paths) of the plain files in `Dir` whose names match `Pattern` ("*" and
// "?" wildcards, ASCII letter case ignored), sorted byte-wise.
std::vector<std::string> FindFiles(const std::string& Dir, std::string_view Pattern);

std::optional<std::string> ReadWholeFile(const std::string& Path);

// Folder part of a path, with a trailing "/" ("" for a bare name), and the name part.
std::string ExtractFileDir(const std::string& Path);
std::string ExtractFileName(const std::string& Path);
// The path with the extension of its file name (from its last ".") replaced by
// `Extension`, which may be empty; a name without an extension just gets `Extension`.
std::string ChangeFileExt(const std::string& Path, const std::string& Extension);
// `Dir` joined with `Name`, adding "/" when `Dir` does not end in one.
std::string JoinPath(const std::string& Dir, const std::string& Name);

// True when a work's file name stays inside the folder it is meant for: not empty,
// not absolute ("/" or "\" first), no drive letter ("C:"), no ".." component.
bool IsSafeRelativeName(std::string_view SjisName);

// A work's file name as a relative UTF-8 path with "/" separators (no lookup).
std::string WorkNameToRelativePath(std::string_view SjisName);

// Finds a work's file below `BaseDir`: each component of the name is matched exactly
// first, then without regard to ASCII letter case. Answers the full path of the
// existing file, or nothing. Unsafe names are never resolved.
std::optional<std::string> ResolveWorkPath(const std::string& BaseDir, std::string_view SjisName);

// A file that replaces `Path` only when committed: the bytes go to a temporary file in
// the same folder, which `Commit` flushes to disk and renames over `Path`. Until then,
// and whenever writing fails or the object is destroyed uncommitted, the old file stays
// as it was.
class TAtomicFile {
public:
    TAtomicFile() = default;
    ~TAtomicFile();
    TAtomicFile(const TAtomicFile&) = delete;
    TAtomicFile& operator=(const TAtomicFile&) = delete;

    TResult Open(const std::string& Path);
    FILE* Stream() const { return Stream_; }
    bool Write(std::string_view Bytes);
    TResult Commit();
    void Abort();

private:
    std::string Path_;
    std::string TempPath_;
    FILE* Stream_ = nullptr;
    bool Failed_ = false;
};

// Writes the whole of `Bytes` to `Path` through a `TAtomicFile`.
TResult AtomicWriteFile(const std::string& Path, std::string_view Bytes);

} // namespace narvo

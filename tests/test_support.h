// Helpers shared by the tests: fixture paths, temporary folders, Shift-JIS literals.
#pragma once

#include <string>

namespace narvo::test {

// Path of a file in tests/data.
std::string DataPath(const std::string& Name);

// A fresh empty folder under the system's temporary folder, removed with the object.
class TTempDir {
public:
    TTempDir();
    ~TTempDir();
    TTempDir(const TTempDir&) = delete;
    TTempDir& operator=(const TTempDir&) = delete;
    const std::string& Path() const { return Path_; }
    std::string operator/(const std::string& Name) const { return Path_ + "/" + Name; }

private:
    std::string Path_;
};

void WriteFile(const std::string& Path, const std::string& Bytes);
std::string ReadFile(const std::string& Path);

// A UTF-8 literal as Shift-JIS bytes, so tests can be written readably.
std::string Sjis(const std::string& Utf8);

} // namespace narvo::test

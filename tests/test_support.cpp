#include "test_support.h"

#include "platform/encoding.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace narvo::test {

std::string DataPath(const std::string& Name) { return std::string(NARVO_TEST_DATA) + "/" + Name; }

TTempDir::TTempDir() {
    std::string Template = (std::filesystem::temp_directory_path() / "narvo-test-XXXXXX").string();
    if (!mkdtemp(Template.data())) throw std::runtime_error("mkdtemp failed");
    Path_ = Template;
}

TTempDir::~TTempDir() {
    std::error_code Ignored;
    std::filesystem::remove_all(Path_, Ignored);
}

void WriteFile(const std::string& Path, const std::string& Bytes) {
    std::ofstream Out(Path, std::ios::binary);
    Out.write(Bytes.data(), std::streamsize(Bytes.size()));
    if (!Out) throw std::runtime_error("cannot write " + Path);
}

std::string ReadFile(const std::string& Path) {
    std::ifstream In(Path, std::ios::binary);
    std::ostringstream Buffer;
    Buffer << In.rdbuf();
    return Buffer.str();
}

std::string Sjis(const std::string& Utf8) { return Utf8ToSjis(Utf8); }

} // namespace narvo::test

// The image plug-ins the build makes, for tests that lay out plug-in folders.
#pragma once

#include "test_support.h"

#include <filesystem>
#include <string>

namespace narvo::test {

inline std::string JpegPlugIn() {
    return std::string(NARVO_BUILD_DIR) + "/jpeg.spi";
}
inline std::string FailPlugIn() {
    return std::string(NARVO_TEST_PLUGIN_DIR) + "/fail.spi";
}
inline std::string OtherPlugIn() {
    return std::string(NARVO_TEST_PLUGIN_DIR) + "/other.spi";
}

inline void CopyPlugIn(const std::string& From, const std::string& To) {
    std::filesystem::copy_file(From, To, std::filesystem::copy_options::overwrite_existing);
}

// A JPEG of the BMP Suite's test picture (127 x 64): the stream embedded in
// q/rgb24jpeg.bmp after its 138 bytes of headers.
inline std::string SuiteJpeg() {
    return ReadFile(DataPath("bmpsuite/q/rgb24jpeg.bmp")).substr(138);
}

} // namespace narvo::test

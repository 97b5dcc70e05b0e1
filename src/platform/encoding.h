// Shift-JIS (code page 932) <-> UTF-8 at the platform edge: file names, captions,
// dialog texts, fonts and tool output. Invalid input never fails: an undecodable
// Shift-JIS byte becomes U+FFFD, a character Shift-JIS cannot hold becomes "?".
#pragma once

#include <string>
#include <string_view>

namespace narvo {

// `Replaced` (optional) is set when some input had to be replaced.
std::string SjisToUtf8(std::string_view Sjis, bool* Replaced = nullptr);
std::string Utf8ToSjis(std::string_view Utf8, bool* Replaced = nullptr);

} // namespace narvo

// A fixed text of the player, written in UTF-8 in the source, as a `const std::string&`
// of Shift-JIS bytes converted on first use, so that it compares byte for byte with
// the works' own texts.
#define NARVO_SJIS(Utf8Literal)                                                             \
    ([]() -> const std::string& {                                                          \
        static const std::string Converted = ::narvo::Utf8ToSjis(Utf8Literal);             \
        return Converted;                                                                  \
    }())

// Shared text helpers of the player: the string list (ordered Shift-JIS lines), the
// name=value helpers every settings file, save entry, command property list and
// variable list is read and written with, the one integer parser the whole player uses,
// and the Shift-JIS character rules that keep double-byte characters whole.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace narvo {

// Ordered lines of Shift-JIS text; each line holds no line break.
using TStringList = std::vector<std::string>;

// --- Integers ----------------------------------------------------------------------

// Leading blanks, one optional sign, then decimal digits or hexadecimal digits after
// "$", "x", "X", "0x" or "0X"; nothing may follow and the value must fit in 32 bits.
// Anything else, the empty text included, gives `Default`.
int32_t TextToInt(std::string_view Text, int32_t Default);
std::string IntToText(int32_t Value);

// --- Name=value lists ----------------------------------------------------------------
// The name of a line is the text before its first "="; names compare without regard to
// ASCII letter case and the first matching line wins.

// Index of the first line whose name matches, or -1. A line without "=" has no name
// and is never found.
int FindListName(const TStringList& List, std::string_view Name);

std::string ReadListString(const TStringList& List, std::string_view Name,
                           std::string_view Default);
int32_t ReadListInteger(const TStringList& List, std::string_view Name, int32_t Default);
bool ReadListBool(const TStringList& List, std::string_view Name, bool Default);

void WriteListString(TStringList& List, std::string_view Name, std::string_view Value);
void WriteListInteger(TStringList& List, std::string_view Name, int32_t Value);
void WriteListBool(TStringList& List, std::string_view Name, bool Value);

void AddListString(TStringList& List, std::string_view Name, std::string_view Value);
void AddListInteger(TStringList& List, std::string_view Name, int32_t Value);
void AddListBool(TStringList& List, std::string_view Name, bool Value);

// ASCII-only case-insensitive comparison, byte for byte otherwise.
bool SameTextAscii(std::string_view A, std::string_view B);

// --- Text form of a string list ------------------------------------------------------

// Every line followed by CR LF.
std::string StringListToText(const TStringList& List);
// Splits at CR LF, a lone CR or a lone LF; a NUL ends the text; a final line break adds
// no empty line.
TStringList TextToStringList(std::string_view Text);

// --- Shift-JIS (code page 932) ---------------------------------------------------------

// True for 0x81-0x9F and 0xE0-0xFC, the bytes that begin a double-byte character.
constexpr bool IsSjisLeadByte(unsigned char Byte) {
    return (Byte >= 0x81 && Byte <= 0x9F) || (Byte >= 0xE0 && Byte <= 0xFC);
}

// Length in bytes of the character starting at `Pos`: 2 for a lead byte followed by
// another byte, otherwise 1 (a lead byte at the very end stands alone).
inline size_t SjisCharLength(std::string_view Text, size_t Pos) {
    return (IsSjisLeadByte(static_cast<unsigned char>(Text[Pos])) && Pos + 1 < Text.size())
               ? 2
               : 1;
}

// The longest prefix of `Text` of at most `MaxBytes` bytes that does not end inside a
// double-byte character.
std::string_view SjisTruncate(std::string_view Text, size_t MaxBytes);

// Position of the first single-byte `Ch` at or after `From` that is not the trail byte
// of a double-byte character, or npos.
size_t SjisFind(std::string_view Text, char Ch, size_t From = 0);

} // namespace narvo

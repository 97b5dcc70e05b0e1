#include "system/icm_sub.h"

#include <charconv>

namespace narvo {

namespace {

constexpr char AsciiLower(char C) { return (C >= 'A' && C <= 'Z') ? char(C + 32) : C; }

int HexDigit(char C) {
    if (C >= '0' && C <= '9') return C - '0';
    if (C >= 'a' && C <= 'f') return C - 'a' + 10;
    if (C >= 'A' && C <= 'F') return C - 'A' + 10;
    return -1;
}

} // namespace

int32_t TextToInt(std::string_view Text, int32_t Default) {
    size_t I = 0;
    while (I < Text.size() && (Text[I] == ' ' || Text[I] == '\t')) ++I;
    bool Negative = false;
    if (I < Text.size() && (Text[I] == '+' || Text[I] == '-')) {
        Negative = Text[I] == '-';
        ++I;
    }
    int Base = 10;
    if (I < Text.size() && (Text[I] == '$' || Text[I] == 'x' || Text[I] == 'X')) {
        Base = 16;
        ++I;
    } else if (I + 1 < Text.size() && Text[I] == '0' && (Text[I + 1] == 'x' || Text[I + 1] == 'X')) {
        Base = 16;
        I += 2;
    }
    if (I == Text.size()) return Default;

    // Accumulate in 64 bits and stop as soon as the magnitude leaves the 32-bit range,
    // so that no run of digits can overflow.
    constexpr int64_t Limit = 0x100000000LL;
    int64_t Magnitude = 0;
    for (; I < Text.size(); ++I) {
        int Digit = Base == 16 ? HexDigit(Text[I]) : (Text[I] >= '0' && Text[I] <= '9' ? Text[I] - '0' : -1);
        if (Digit < 0) return Default;
        Magnitude = Magnitude * Base + Digit;
        if (Magnitude >= Limit) return Default;
    }
    int64_t Value = Negative ? -Magnitude : Magnitude;
    if (Base == 10) {
        if (Value < INT32_MIN || Value > INT32_MAX) return Default;
        return static_cast<int32_t>(Value);
    }
    // Hexadecimal texts name a 32-bit pattern: "$FFFFFFFF" is -1, as colours are written.
    if (Negative) {
        if (Value < INT32_MIN) return Default;
        return static_cast<int32_t>(Value);
    }
    return static_cast<int32_t>(static_cast<uint32_t>(Value));
}

std::string IntToText(int32_t Value) {
    char Buffer[16];
    auto Result = std::to_chars(Buffer, Buffer + sizeof Buffer, Value);
    return std::string(Buffer, Result.ptr);
}

bool SameTextAscii(std::string_view A, std::string_view B) {
    if (A.size() != B.size()) return false;
    for (size_t I = 0; I < A.size(); ++I)
        if (AsciiLower(A[I]) != AsciiLower(B[I])) return false;
    return true;
}

int FindListName(const TStringList& List, std::string_view Name) {
    if (Name.find('=') != std::string_view::npos) return -1;
    for (size_t I = 0; I < List.size(); ++I) {
        const std::string& Line = List[I];
        if (Line.size() > Name.size() && Line[Name.size()] == '=' &&
            SameTextAscii(std::string_view(Line).substr(0, Name.size()), Name))
            return static_cast<int>(I);
    }
    return -1;
}

std::string ReadListString(const TStringList& List, std::string_view Name,
                           std::string_view Default) {
    int Index = FindListName(List, Name);
    if (Index < 0) return std::string(Default);
    return List[Index].substr(Name.size() + 1);
}

int32_t ReadListInteger(const TStringList& List, std::string_view Name, int32_t Default) {
    return TextToInt(ReadListString(List, Name, ""), Default);
}

bool ReadListBool(const TStringList& List, std::string_view Name, bool Default) {
    return ReadListInteger(List, Name, Default ? 1 : 0) != 0;
}

void WriteListString(TStringList& List, std::string_view Name, std::string_view Value) {
    std::string Line;
    Line.reserve(Name.size() + 1 + Value.size());
    Line.append(Name).append("=").append(Value);
    int Index = FindListName(List, Name);
    if (Index >= 0)
        List[Index] = std::move(Line);
    else
        List.push_back(std::move(Line));
}

void WriteListInteger(TStringList& List, std::string_view Name, int32_t Value) {
    WriteListString(List, Name, IntToText(Value));
}

void WriteListBool(TStringList& List, std::string_view Name, bool Value) {
    WriteListString(List, Name, Value ? "1" : "0");
}

void AddListString(TStringList& List, std::string_view Name, std::string_view Value) {
    std::string Line;
    Line.reserve(Name.size() + 1 + Value.size());
    Line.append(Name).append("=").append(Value);
    List.push_back(std::move(Line));
}

void AddListInteger(TStringList& List, std::string_view Name, int32_t Value) {
    AddListString(List, Name, IntToText(Value));
}

void AddListBool(TStringList& List, std::string_view Name, bool Value) {
    AddListString(List, Name, Value ? "1" : "0");
}

std::string StringListToText(const TStringList& List) {
    size_t Size = 0;
    for (const std::string& Line : List) Size += Line.size() + 2;
    std::string Text;
    Text.reserve(Size);
    for (const std::string& Line : List) Text.append(Line).append("\r\n");
    return Text;
}

TStringList TextToStringList(std::string_view Text) {
    size_t Nul = Text.find('\0');
    if (Nul != std::string_view::npos) Text = Text.substr(0, Nul);
    TStringList List;
    size_t Start = 0;
    while (Start < Text.size()) {
        size_t End = Text.find_first_of("\r\n", Start);
        if (End == std::string_view::npos) {
            List.emplace_back(Text.substr(Start));
            break;
        }
        List.emplace_back(Text.substr(Start, End - Start));
        Start = End + ((Text[End] == '\r' && End + 1 < Text.size() && Text[End + 1] == '\n') ? 2 : 1);
    }
    return List;
}

std::string_view SjisTruncate(std::string_view Text, size_t MaxBytes) {
    size_t Pos = 0;
    while (Pos < Text.size()) {
        size_t Len = SjisCharLength(Text, Pos);
        if (Pos + Len > MaxBytes) break;
        Pos += Len;
    }
    return Text.substr(0, Pos);
}

size_t SjisFind(std::string_view Text, char Ch, size_t From) {
    size_t Pos = 0;
    while (Pos < Text.size()) {
        if (Pos >= From && Text[Pos] == Ch) return Pos;
        Pos += SjisCharLength(Text, Pos);
    }
    return std::string_view::npos;
}

} // namespace narvo

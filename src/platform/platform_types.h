// Plain types shared by every platform service: pictures handed to and from the window,
// the small result type of fallible platform calls, and the enumerations of input and
// dialogs.
#pragma once

#include <cassert>
#include <cstdint>
#include <string>
#include <vector>

namespace narvo {

// Result of a platform call that can fail for reasons outside the program's control.
// Callers test `Ok`; `Message` (UTF-8) is for people, never parsed.
struct TResult {
    bool Ok = true;
    std::string Message;

    static TResult Success() { return {}; }
    static TResult Failure(std::string Why) { return {false, std::move(Why)}; }
    explicit operator bool() const { return Ok; }
};

// A 32-bit picture, rows top-down, one uint32_t per pixel as 0x00RRGGBB (bytes B, G, R,
// unused in memory): the layout of the frames the window presents.
struct TPicture {
    int Width = 0;
    int Height = 0;
    std::vector<uint32_t> Pixels;

    TPicture() = default;
    TPicture(int W, int H, uint32_t Fill = 0)
        : Width(W), Height(H), Pixels(size_t(W) * size_t(H), Fill) {}

    uint32_t* Row(int Y) {
        assert(Y >= 0 && Y < Height);
        return Pixels.data() + size_t(Y) * size_t(Width);
    }
    const uint32_t* Row(int Y) const {
        assert(Y >= 0 && Y < Height);
        return Pixels.data() + size_t(Y) * size_t(Width);
    }
    uint32_t At(int X, int Y) const {
        assert(X >= 0 && X < Width);
        return Row(Y)[X];
    }
};

enum class TMouseButton { Left, Right, Middle };

enum class TCursorKind { Default, Hand };

// Key codes are the original platform's virtual key codes, which works and handlers
// compare with: Enter 13, Space 32, Escape 27, arrows 37..40, letters and digits as
// their upper-case ASCII codes.
namespace Keys {
constexpr int Back = 8;
constexpr int Tab = 9;
constexpr int Enter = 13;
constexpr int Shift = 16;
constexpr int Control = 17;
constexpr int Escape = 27;
constexpr int Space = 32;
constexpr int Left = 37;
constexpr int Up = 38;
constexpr int Right = 39;
constexpr int Down = 40;
} // namespace Keys

enum class TDialogKind { Error, Warning, Plain, Question };
enum class TDialogButtons { Ok, AbortIgnore, YesNo };
enum class TDialogResult { Ok, Abort, Ignore, Yes, No, Cancel };

// Lower-case names used in logs and scripts: "error", "ok", "abort/ignore", ...
const char* DialogKindName(TDialogKind Kind);
const char* DialogButtonsName(TDialogButtons Buttons);
const char* DialogResultName(TDialogResult Result);
// The buttons of a set in order; the first is the default answer.
std::vector<TDialogResult> DialogButtonList(TDialogButtons Buttons);

// Local calendar time, as the original platform's date and time services gave it.
struct TLocalTime {
    int Year = 0;
    int Month = 0;     // 1..12
    int Day = 0;       // 1..31
    int Hour = 0;      // 0..23
    int Minute = 0;    // 0..59
    int Second = 0;    // 0..59
    int Millisecond = 0;
    int DayOfWeek = 0; // 0 = Sunday
};

} // namespace narvo

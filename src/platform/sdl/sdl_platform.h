// The real backend: one SDL2 window whose client area shows the player's frames
// (scaled with the aspect kept when the window is larger, as in full screen), mouse and
// keys in the player's key codes, the application loop with its timers on the real
// millisecond clock, and modal message boxes.
#pragma once

#include "platform/platform.h"

namespace narvo {

// Nothing, with the reason in `Error`, when no display can be opened.
std::unique_ptr<TPlatform> CreateSdlPlatform(TResult* Error = nullptr);

// Milliseconds of the machine's monotonic clock, as an unsigned 32-bit tick count.
uint32_t SystemTickCount();
TLocalTime SystemLocalTime();

} // namespace narvo

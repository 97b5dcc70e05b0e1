// The modal text input box of the real window, drawn over the current frame with the
// player's fonts: a caption, a prompt, an edit field with IME composition, and OK and
// Cancel buttons. Enter or OK accepts, Escape or Cancel cancels.
#pragma once

#include "platform/platform_types.h"

#include <SDL.h>

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace narvo {

struct TSdlInputBoxHost {
    SDL_Window* Window = nullptr;
    TPicture* Back = nullptr;             // the client-sized frame to draw over
    std::function<void()> Present;        // shows `Back`
    std::function<void()> WhileWaiting;   // ticks timers while the box waits
};

// The text entered (Shift-JIS), or nothing when cancelled or the window was closed.
std::optional<std::string> RunSdlInputBox(const TSdlInputBoxHost& Host, std::string_view SjisCaption,
                                          std::string_view SjisPrompt, std::string_view SjisProposed);

} // namespace narvo

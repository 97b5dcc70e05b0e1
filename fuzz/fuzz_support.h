// Platform stand-ins for fuzz targets: boxes that answer their first button at once and
// a clock that only moves when slept. Cheap enough to make per input.
#pragma once

#include "platform/platform.h"

namespace narvo::fuzz {

class TFirstButtonDialogs final : public IDialogs {
public:
    TDialogResult MessageBox(TDialogKind, TDialogButtons Buttons, std::string_view,
                             std::string_view) override {
        return DialogButtonList(Buttons).front();
    }
    std::optional<std::string> InputBox(std::string_view, std::string_view,
                                        std::string_view Proposed) override {
        return std::string(Proposed);
    }
};

class TFixedClock final : public IClock {
public:
    explicit TFixedClock(uint32_t Start = 0) : Tick(Start) {}
    uint32_t TickCount() const override { return Tick; }
    TLocalTime Now() const override { return {2007, 3, 5, 9, 30, 5, 0, 1}; }
    void Sleep(uint32_t Ms) override { Tick += Ms; }
    uint32_t Tick;
};

} // namespace narvo::fuzz

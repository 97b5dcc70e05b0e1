// Small fakes of the platform services the data units use: dialogs that record every
// box and answer its first button, and a clock the test sets by hand.
#pragma once

#include "platform/platform.h"

#include <string>
#include <vector>

namespace narvo::test {

class TRecordingDialogs final : public IDialogs {
public:
    struct TBox {
        TDialogKind Kind;
        TDialogButtons Buttons;
        std::string Text;
    };

    TDialogResult MessageBox(TDialogKind Kind, TDialogButtons Buttons, std::string_view Text,
                             std::string_view) override {
        Boxes.push_back({Kind, Buttons, std::string(Text)});
        return DialogButtonList(Buttons).front();
    }
    std::optional<std::string> InputBox(std::string_view, std::string_view,
                                        std::string_view Proposed) override {
        return std::string(Proposed);
    }

    std::vector<TBox> Boxes;
};

class TManualClock final : public IClock {
public:
    uint32_t TickCount() const override { return Tick; }
    TLocalTime Now() const override { return Time; }
    void Sleep(uint32_t Ms) override { Tick += Ms; }

    uint32_t Tick = 0;
    TLocalTime Time{2007, 3, 5, 0, 0, 7, 0, 1};
};

} // namespace narvo::test

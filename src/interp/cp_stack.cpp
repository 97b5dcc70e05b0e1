#include "interp/cp_stack.h"

namespace narvo {

void TNarvoProcessStack::Push() {
    StackLines.emplace_back(Border);
    for (std::string& Line : Frame) StackLines.push_back(std::move(Line));
    ClearFrame();
}

bool TNarvoProcessStack::Pop() {
    ClearFrame();
    while (!StackLines.empty()) {
        std::string Line = std::move(StackLines.back());
        StackLines.pop_back();
        if (Line.empty() || Line == Border) break;
        Frame.push_back(std::move(Line));
    }
    return !Frame.empty();
}

TStringList TNarvoProcessStack::Lines() const { return TStringList(StackLines.rbegin(), StackLines.rend()); }

void TNarvoProcessStack::SetLines(const TStringList& TopFirst) {
    StackLines.assign(TopFirst.rbegin(), TopFirst.rend());
}

void TNarvoProcessStack::AddLinesTo(TStringList& List) const {
    List.insert(List.end(), StackLines.rbegin(), StackLines.rend());
}

} // namespace narvo

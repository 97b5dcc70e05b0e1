// The interpreter's call stack: plain name=value lines, so a save file stores it as it
// is and the debug window shows it line by line. A call pushes a frame (where to come
// back to, and for some calls the process state) on top of a border line; a return
// pops it.
#pragma once

#include "system/icm_sub.h"

#include <string>
#include <string_view>

namespace narvo {

class TNarvoProcessStack {
public:
    static constexpr const char* Border = "@StackBorder";

    // The frame being written before a push, or just read by a pop.
    void ClearFrame() { Frame.clear(); }
    std::string ReadString(std::string_view Key, std::string_view Default) const {
        return ReadListString(Frame, Key, Default);
    }
    int32_t ReadInteger(std::string_view Key, int32_t Default) const {
        return ReadListInteger(Frame, Key, Default);
    }
    bool ReadBool(std::string_view Key, bool Default) const { return ReadListBool(Frame, Key, Default); }
    void WriteString(std::string_view Key, std::string_view Value) { WriteListString(Frame, Key, Value); }
    void WriteInteger(std::string_view Key, int32_t Value) { WriteListInteger(Frame, Key, Value); }
    void WriteBool(std::string_view Key, bool Value) { WriteListBool(Frame, Key, Value); }
    const TStringList& FrameLines() const { return Frame; }

    // Puts the frame on top of a border line and clears it.
    void Push();
    // Takes the top frame into `Frame` (its lines in reverse order) down to and
    // including the next border or empty line; true when the frame had a line.
    bool Pop();

    // The whole stack, top first: the text of the "stack.info" save entry.
    TStringList Lines() const;
    // Replaces the whole stack with lines given top first.
    void SetLines(const TStringList& TopFirst);
    void AddLinesTo(TStringList& List) const;
    size_t LineCount() const { return StackLines.size(); }

private:
    // Stored bottom first, so pushes and pops work at the end of the vector: a work
    // that keeps calling without returning grows the stack in linear time.
    TStringList StackLines;
    TStringList Frame;
};

} // namespace narvo

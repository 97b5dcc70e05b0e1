// One command of a page as a handler sees it: its type code, its block level and its
// property lines. The command cache fills a record for the step that runs it; handlers
// read the properties by key (letter case of keys ignored, the first line of a key
// wins) and never keep the record beyond their call.
#pragma once

#include "system/icm_sub.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace narvo {

class TNarvoCommand {
public:
    // The property lines exactly as the page stores them, in page order.
    TStringList Properties;
    // If/else/endif nesting level of the command.
    int32_t BlockLevel = 0;
    // Type code 0..25 of the command's name.
    int32_t Type = 0;

    std::string ReadString(std::string_view Key, std::string_view Default) const {
        return ReadListString(Properties, Key, Default);
    }
    int32_t ReadInteger(std::string_view Key, int32_t Default) const {
        return TextToInt(ReadString(Key, ""), Default);
    }
    bool ReadBool(std::string_view Key, bool Default) const {
        return ReadInteger(Key, Default ? 1 : 0) != 0;
    }
};

} // namespace narvo

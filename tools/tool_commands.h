// The subcommands of narvo-tool. Each takes its arguments (after the subcommand's
// name) and answers the process exit status: 0 success, 1 failure, 2 usage.
#pragma once

#include <string>
#include <vector>

namespace narvo::tool {

using TArgs = std::vector<std::string>;

struct TSubcommand {
    const char* Name;
    const char* Summary;
    int (*Run)(const TArgs& Args);
};

// The table lives in narvo_tool.cpp; each subcommand's entry point in its own file.
extern const TSubcommand Subcommands[];
extern const size_t SubcommandCount;

int RunPackTool(const TArgs& Args);
int RunReplayTool(const TArgs& Args);
int RunImageTool(const TArgs& Args);
int RunTextTool(const TArgs& Args);
int RunEffectTool(const TArgs& Args);

} // namespace narvo::tool

// narvo-tool: the author's and tester's companion of the player. One binary whose
// subcommands inspect and make the player's files through the player's own code.
#include "tool_commands.h"

#include <cstdio>
#include <cstring>

namespace narvo::tool {

const TSubcommand Subcommands[] = {
    {"effect", "run a transition between two pictures and write every painted frame", RunEffectTool},
    {"image", "decode a picture as the player does and write it as PNG", RunImageTool},
    {"pack", "list, extract, create and append to containers", RunPackTool},
    {"replay", "play a work headless on a virtual clock and print what happens", RunReplayTool},
    {"text", "lay a text out like a message layer and write its pages as PNG", RunTextTool},
    {nullptr, nullptr, nullptr},
};
const size_t SubcommandCount = sizeof Subcommands / sizeof Subcommands[0] - 1;

namespace {

void PrintHelp(FILE* Out) {
    std::fprintf(Out, "usage: narvo-tool COMMAND [ARGS...]\n\ncommands:\n");
    for (size_t I = 0; I < SubcommandCount; ++I)
        std::fprintf(Out, "  %-10s %s\n", Subcommands[I].Name, Subcommands[I].Summary);
    std::fprintf(Out, "  %-10s %s\n", "help", "show this list");
}

} // namespace
} // namespace narvo::tool

int main(int argc, char** argv) {
    using namespace narvo::tool;
    if (argc < 2) {
        PrintHelp(stderr);
        return 2;
    }
    const char* Name = argv[1];
    if (!std::strcmp(Name, "--help") || !std::strcmp(Name, "-h") || !std::strcmp(Name, "help")) {
        PrintHelp(stdout);
        return 0;
    }
    for (size_t I = 0; I < SubcommandCount; ++I) {
        if (!std::strcmp(Name, Subcommands[I].Name)) {
            TArgs Args(argv + 2, argv + argc);
            return Subcommands[I].Run(Args);
        }
    }
    std::fprintf(stderr, "narvo-tool: unknown command '%s'\n", Name);
    PrintHelp(stderr);
    return 2;
}

#include "app/player_main.h"

#include "app/rtm_main.h"
#include "platform/files.h"
#include "platform/sdl/sdl_platform.h"

#include <cstdio>
#include <string>
#include <unistd.h>

namespace narvo {

namespace {

// The player's own file: the work and the runtime library are looked for beside it.
std::string OwnPath(const char* Argv0) {
    char Buffer[4096];
    ssize_t Length = readlink("/proc/self/exe", Buffer, sizeof Buffer - 1);
    if (Length > 0) return std::string(Buffer, size_t(Length));
    return Argv0 ? Argv0 : "narvo";
}

} // namespace

int PlayerMain(int argc, char** argv) {
    if (argc > 2) {
        std::fprintf(stderr, "usage: narvo [WORK]\n");
        return 2;
    }
    TPlayerStart Start;
    Start.PlayerPath = OwnPath(argv[0]);
    if (argc == 2) Start.PackagePath = argv[1];

    TResult Error;
    std::unique_ptr<TPlatform> Platform = CreateSdlPlatform(&Error);
    if (!Platform) {
        std::fprintf(stderr, "narvo: cannot open a window: %s\n", Error.Message.c_str());
        return 1;
    }
    RunPlayer(*Platform, Start);
    return 0;
}

} // namespace narvo

#include "app/player_main.h"

#include <cstdio>

namespace narvo {

int PlayerMain(int, char**) {
    std::fprintf(stderr, "narvo: not ready yet\n");
    return 1;
}

} // namespace narvo

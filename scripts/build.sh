#!/usr/bin/env bash
# Configures and builds one flavour of the project:
#   scripts/build.sh            the normal build in build/ (warnings are errors)
#   scripts/build.sh --sanitize AddressSanitizer + UndefinedBehaviorSanitizer in build-asan/
#   scripts/build.sh --fuzz     the libFuzzer targets (clang) in build-fuzz/
set -euo pipefail
cd "$(dirname "$0")/.."

flavour=${1:-normal}
jobs=${NARVO_JOBS:-2}
case "$flavour" in
normal)
    dir=build
    cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DNARVO_WERROR=ON >/dev/null
    ;;
--sanitize)
    dir=build-asan
    cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DNARVO_WERROR=ON \
        -DNARVO_SANITIZE=ON -DNARVO_BENCH=OFF >/dev/null
    ;;
--fuzz)
    dir=build-fuzz
    flags="-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer"
    CC=clang CXX=clang++ cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DNARVO_FUZZ=ON -DNARVO_TESTS=OFF -DNARVO_BENCH=OFF \
        -DCMAKE_C_FLAGS="$flags" -DCMAKE_CXX_FLAGS="$flags" >/dev/null
    ;;
*)
    echo "usage: scripts/build.sh [--sanitize|--fuzz]" >&2
    exit 2
    ;;
esac
ninja -C "$dir" -j "$jobs"

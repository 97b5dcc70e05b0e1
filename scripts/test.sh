#!/usr/bin/env bash
# Installs what is missing, builds and runs every test.
#   scripts/test.sh             the normal build (warnings are errors)
#   scripts/test.sh --sanitize  the same tests under ASan + UBSan
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
flavour=${1:-normal}
scripts/build.sh "$flavour"
dir=build
[ "$flavour" = "--sanitize" ] && dir=build-asan
export ASAN_OPTIONS=${ASAN_OPTIONS:-abort_on_error=1:detect_leaks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
ctest --test-dir "$dir" --output-on-failure -j "${NARVO_JOBS:-2}"

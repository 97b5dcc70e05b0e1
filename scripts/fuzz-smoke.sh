#!/usr/bin/env bash
# Builds the fuzz targets and runs each briefly over its seed corpus, so that they keep
# compiling and the quick findings show up in CI. Long runs are done by hand:
#   build-fuzz/fuzz_NAME -max_total_time=600 fuzz/corpus/NAME
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
scripts/build.sh --fuzz
seconds=${NARVO_FUZZ_SECONDS:-10}
for target in build-fuzz/fuzz/fuzz_*; do
    [ -x "$target" ] || continue
    name=$(basename "$target")
    corpus_seed="fuzz/corpus/${name#fuzz_}"
    work=$(mktemp -d)
    [ -d "$corpus_seed" ] && cp -r "$corpus_seed"/. "$work"/
    echo "fuzz: $name for ${seconds}s"
    "$target" -max_total_time="$seconds" -print_final_stats=0 "$work" 2>&1 | tail -n 2
    rm -rf "$work"
done

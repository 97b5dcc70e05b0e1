#!/usr/bin/env bash
# Installs what is missing, builds the player and plays a work:
#   scripts/play.sh [WORK]
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
scripts/build.sh >/dev/null
exec build/narvo "$@"

#!/usr/bin/env bash
# Installs the Debian 12 packages the project needs, when any is missing. Idempotent and
# silent when everything is there; works as root or through sudo.
set -euo pipefail

packages=(
    # build
    g++ cmake ninja-build pkg-config git
    # the player
    libsdl2-dev libsdl2-mixer-dev zlib1g-dev libdeflate-dev libpng-dev
    libfreetype-dev libfontconfig-dev fonts-ipafont-gothic fonts-ipafont-mincho
    # the JPEG image plug-in
    libjpeg62-turbo-dev
    # tests, benchmarks, fuzzing and the sanitizer build
    libgtest-dev libbenchmark-dev libpixman-1-dev clang libclang-rt-14-dev
    # the real-window test and the independent format checks
    xvfb xauth python3
)

missing=()
for p in "${packages[@]}"; do
    status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
    [ "$status" = "install ok installed" ] || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "setup: installing ${missing[*]}" >&2
sudo=""
if [ "$(id -u)" -ne 0 ]; then
    command -v sudo >/dev/null 2>&1 || { echo "setup: need root or sudo to install packages" >&2; exit 1; }
    sudo="sudo"
fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq >/dev/null
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null

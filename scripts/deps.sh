#!/usr/bin/env bash
# Installs the Debian packages that building and testing need; does nothing when all are there.
set -euo pipefail

packages=(
    cmake ninja-build g++ libgtest-dev googletest libbenchmark-dev clang libclang-rt-14-dev
    binutils g++-mingw-w64-x86-64-posix wine wine64 fonts-wine xvfb xdotool imagemagick
    locales x11-xkb-utils python3 ffmpeg
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "deps: installing ${missing[*]}"
sudo=()
[ "$(id -u)" -ne 0 ] && sudo=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update
"${sudo[@]}" apt-get install -y "${missing[@]}"

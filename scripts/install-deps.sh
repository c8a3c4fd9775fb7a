#!/usr/bin/env bash
# Installs what a fresh Debian 12 machine lacks for building, running and testing Corvalo.
# Idempotent and quiet: when everything is present it prints nothing and takes a moment.
set -euo pipefail

packages=(
    cmake ninja-build g++ make pkg-config
    g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix mingw-w64-tools libz-mingw-w64-dev
    wine wine64 xvfb xdotool imagemagick x11-utils
    googletest libbenchmark-dev python3 python3-pil clang-format
    libjpeg62-turbo-dev libpng-dev libgif-dev libopenjp2-7-dev libtiff-dev libwebp-dev zlib1g-dev
    dpkg-dev nasm
    clang libclang-rt-14-dev lld python3-yaml ccache
    # What Wine loads at run time and only recommends: the X extensions it draws, places and points
    # with (see-through windows, screens, cursors) and its fonts. Its other recommendations (sound,
    # video, OpenGL, printing) and the rest's (LLVM's headers, Ghostscript) are hundreds of
    # megabytes no build or test here uses, so recommendations are not installed.
    libxrender1 libxrandr2 libxinerama1 libxcursor1 libxi6 libxcomposite1 libxfixes3 libxxf86vm1
    libgnutls30 libdbus-1-3 fonts-wine fonts-liberation
)

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$package")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo_cmd=()
[ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null

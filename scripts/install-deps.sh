#!/usr/bin/env bash
# Installs what a fresh Debian 12 machine lacks for building, running and testing Corvalo.
# Idempotent and quiet: when everything is present it prints nothing and takes a moment.
#
# Usage: scripts/install-deps.sh          everything
#        scripts/install-deps.sh codecs   only what scripts/build-codecs.sh needs, so that the codec
#                                         build can start while the rest installs (scripts/test.sh)
set -euo pipefail

# The codec build: the cross compilers, Debian's source packages (their versions follow the native
# -dev packages) and what unpacks and builds them.
codec_packages=(
    cmake ninja-build make
    g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix mingw-w64-tools libz-mingw-w64-dev
    libjpeg62-turbo-dev libpng-dev libgif-dev libopenjp2-7-dev libtiff-dev libwebp-dev zlib1g-dev
    dpkg-dev nasm
)
other_packages=(
    g++ pkg-config
    wine wine64 xvfb xdotool imagemagick x11-utils
    googletest libbenchmark-dev python3 python3-pil clang-format
    clang libclang-rt-14-dev lld python3-yaml ccache
    # What Wine loads at run time and only recommends: the X extensions it draws, places and points
    # with (see-through windows, screens, cursors) and its fonts. Its other recommendations (sound,
    # video, OpenGL, printing) and the rest's (LLVM's headers, Ghostscript) are hundreds of
    # megabytes no build or test here uses, so recommendations are not installed.
    libxrender1 libxrandr2 libxinerama1 libxcursor1 libxi6 libxcomposite1 libxfixes3 libxxf86vm1
    libgnutls30 libdbus-1-3 fonts-wine fonts-liberation
)
case ${1:-} in
    "") packages=("${codec_packages[@]}" "${other_packages[@]}") ;;
    codecs) packages=("${codec_packages[@]}") ;;
    *)
        echo "usage: $0 [codecs]" >&2
        exit 2
        ;;
esac

sudo_cmd=()
[ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
export DEBIAN_FRONTEND=noninteractive

# The codecs are built from Debian's source packages, which apt finds only through a deb-src entry
# for the archive this machine already uses.
source_list=/etc/apt/sources.list.d/corvalo-deb-src.sources
has_source_entries() { grep -q '^Version:' <<<"$(apt-cache showsrc libjpeg-turbo 2>/dev/null)"; }
add_source_entries() {
    echo "Adding source entries for the machine's archive ($source_list)"
    {
        for file in /etc/apt/sources.list.d/*.sources; do
            [ "$file" = "$source_list" ] || [ ! -f "$file" ] && continue
            grep -qi '^Types:.*\bdeb\b' "$file" || continue
            sed -E 's/^Types:.*/Types: deb-src/I' "$file"
            echo
        done
        if [ -f /etc/apt/sources.list ]; then
            sed -nE 's/^deb[[:space:]]+(\[[^]]*\][[:space:]]+)?([^[:space:]]+)[[:space:]]+([^[:space:]]+)[[:space:]]+(.*)$/Types: deb-src\nURIs: \2\nSuites: \3\nComponents: \4\n/p' \
                /etc/apt/sources.list
        fi
    } | "${sudo_cmd[@]}" tee "$source_list" >/dev/null
}

# Lists fetched in the last ten minutes are used as they are: the test command installs in two
# steps, and a second update would rewrite the lists while the codec build reads them.
update_lists() {
    if [ -n "$(find /var/lib/apt/lists/partial -maxdepth 0 -mmin -10 2>/dev/null)" ]; then
        return
    fi
    "${sudo_cmd[@]}" apt-get update -qq
}

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$package")
    fi
done
sources_missing=0
has_source_entries || sources_missing=1
[ ${#missing[@]} -eq 0 ] && [ $sources_missing -eq 0 ] && exit 0

if [ $sources_missing -eq 1 ]; then
    add_source_entries
    # Entries just added need an update, however recent the lists.
    "${sudo_cmd[@]}" apt-get update -qq
else
    update_lists
fi
[ ${#missing[@]} -eq 0 ] && exit 0
echo "Installing: ${missing[*]}"
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null

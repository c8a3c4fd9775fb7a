#!/usr/bin/env bash
# Builds the picture codec libraries of the Windows build (libjpeg-turbo, libpng, giflib, OpenJPEG,
# libtiff, libwebp) as static MinGW-w64 libraries from Debian's own source packages, with Debian's patches,
# at the same source versions as the native -dev packages of this machine.
#
# Beside the libraries, licenses/<source package>/ holds each one's notices from its source.
#
# The result is a prefix outside the clone, keyed on those versions and on this recipe, so every
# clone on the machine shares it: when it is complete the script prints its path and nothing else,
# in well under a second. Otherwise it builds into the prefix (marked complete only at the very end,
# under a lock, so an interrupted or concurrent run never leaves a half prefix in use).
#
# Usage: scripts/build-codecs.sh            prints the prefix (for -DCORVALO_WINDOWS_PREFIX=...)
# CORVALO_CODECS_CACHE overrides the cache folder (default /var/cache/corvalo-codecs when writable,
# else ~/.cache/corvalo-codecs).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

# Bump when the build options below change: the prefix is rebuilt.
recipe=4
triple=x86_64-w64-mingw32
sysroot=/usr/$triple

# Source package, and the native -dev package whose source version the Windows build follows.
libraries=(
    "libjpeg-turbo libjpeg62-turbo-dev"
    "libpng1.6 libpng-dev"
    "giflib libgif-dev"
    "openjpeg2 libopenjp2-7-dev"
    "tiff libtiff-dev"
    "libwebp libwebp-dev"
)

declare -A version
key_text="recipe $recipe; $($triple-gcc-posix -dumpfullversion 2>/dev/null || echo no-compiler)"
for entry in "${libraries[@]}"; do
    read -r source_package dev_package <<<"$entry"
    v=$(dpkg-query -W -f='${source:Version}' "$dev_package" 2>/dev/null || true)
    if [ -z "$v" ]; then
        echo "build-codecs: $dev_package is not installed (run scripts/install-deps.sh)" >&2
        exit 1
    fi
    version[$source_package]=$v
    key_text+="; $source_package $v"
done
key=$(printf '%s' "$key_text" | sha256sum | cut -c1-16)

if [ -n "${CORVALO_CODECS_CACHE:-}" ]; then
    cache=$CORVALO_CODECS_CACHE
elif mkdir -p /var/cache/corvalo-codecs 2>/dev/null && [ -w /var/cache/corvalo-codecs ]; then
    cache=/var/cache/corvalo-codecs
else
    cache=${XDG_CACHE_HOME:-$HOME/.cache}/corvalo-codecs
fi
prefix=$cache/mingw-$key
if [ -f "$prefix/.complete" ]; then
    echo "$prefix"
    exit 0
fi

mkdir -p "$cache"
exec 9>"$cache/.lock"
flock 9
if [ -f "$prefix/.complete" ]; then  # another run finished it while we waited
    echo "$prefix"
    exit 0
fi

log() { echo "build-codecs: $*" >&2; }
log "building the Windows codec libraries into $prefix (about two minutes, once per machine)"
rm -rf "$prefix"
work=$(mktemp -d "$cache/.work-XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir -p "$prefix"

# Downloads and unpacks (applying Debian's patches) one source package: the version of the native
# package first, then the others the index lists, newest first (the newest is sometimes missing).
fetch() {
    local package=$1 wanted=$2 dir=$work/src-$1
    mkdir -p "$dir"
    local candidates
    candidates=$( (echo "$wanted"; apt-cache showsrc "$package" | sed -n 's/^Version: //p' |
        sort -u | sort -r -V) | awk '!seen[$0]++')
    local v
    for v in $candidates; do
        if (cd "$dir" && apt-get source -qq --download-only "$package=$v" >/dev/null 2>&1); then
            local dsc
            dsc=$(ls "$dir"/*.dsc | head -n1)
            dpkg-source -x "$dsc" "$dir/tree" >/dev/null 2>&1
            echo "$package $v" >>"$work/versions"
            [ "$v" = "$wanted" ] || log "$package $wanted is not downloadable; built $v"
            return
        fi
        rm -f "$dir"/*
    done
    log "cannot download the source of $package"
    return 1
}

# apt-get source needs the source entries install-deps.sh adds (and the packages it installs).
"$root/scripts/install-deps.sh" codecs >&2
for entry in "${libraries[@]}"; do
    read -r source_package _ <<<"$entry"
    fetch "$source_package" "${version[$source_package]}"
done

toolchain=$root/cmake/mingw-w64-x86_64.cmake
cmake_build() {  # name, source dir, options...
    local name=$1 source=$2
    shift 2
    (cd "$work" && cmake -S "$source" -B "$work/build-$name" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
        -DCORVALO_WINDOWS_PREFIX="$prefix" -DCMAKE_INSTALL_PREFIX="$prefix" \
        -DCMAKE_INSTALL_LIBDIR=lib -DCMAKE_POSITION_INDEPENDENT_CODE=OFF "$@" \
        >"$work/$name.log" 2>&1)
    cmake --build "$work/build-$name" -j2 >>"$work/$name.log" 2>&1
    cmake --install "$work/build-$name" >>"$work/$name.log" 2>&1
}

build_jpeg() {
    # libjpeg-turbo takes a relative library folder as relative to the working directory.
    cmake_build jpeg "$work/src-libjpeg-turbo/tree" -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_INSTALL_LIBDIR="$prefix/lib" -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_TURBOJPEG=OFF -DWITH_SIMD=ON
}
build_png() {
    cmake_build png "$work/src-libpng1.6/tree" -DCMAKE_BUILD_TYPE=Release -DPNG_SHARED=OFF \
        -DPNG_STATIC=ON -DPNG_EXECUTABLES=OFF -DPNG_TESTS=OFF -DZLIB_LIBRARY="$sysroot/lib/libz.a" \
        -DZLIB_INCLUDE_DIR="$sysroot/include"
}
build_gif() {
    local tree=$work/src-giflib/tree
    make -C "$tree" CC="$triple-gcc-posix" AR="$triple-ar" CFLAGS="-O2 -Wall" libgif.a \
        >"$work/gif.log" 2>&1
    install -D -m 644 "$tree/gif_lib.h" "$prefix/include/gif_lib.h"
    install -D -m 644 "$tree/libgif.a" "$prefix/lib/libgif.a"
}
build_openjpeg() {
    # Not NDEBUG: Debian's own build keeps the library's asserts' side effects, and so its pixels.
    cmake_build openjpeg "$work/src-openjpeg2/tree" -DCMAKE_BUILD_TYPE=None -DCMAKE_C_FLAGS=-O2 \
        -DBUILD_SHARED_LIBS=OFF -DBUILD_STATIC_LIBS=ON -DBUILD_CODEC=OFF -DBUILD_TESTING=OFF \
        -DBUILD_DOC=OFF
}
build_tiff() {
    cmake_build tiff "$work/src-tiff/tree" -DCMAKE_BUILD_TYPE=Release -DBUILD_SHARED_LIBS=OFF \
        -Dtiff-tools=OFF -Dtiff-tests=OFF -Dtiff-contrib=OFF -Dtiff-docs=OFF -Dcxx=OFF \
        -Dzlib=ON -Djpeg=ON -Djbig=OFF -Dlerc=OFF -Dlzma=OFF -Dzstd=OFF -Dwebp=OFF \
        -Dlibdeflate=OFF -Djpeg12=OFF -DJPEG_LIBRARY="$prefix/lib/libjpeg.a" \
        -DJPEG_INCLUDE_DIR="$prefix/include" -DZLIB_LIBRARY="$sysroot/lib/libz.a" \
        -DZLIB_INCLUDE_DIR="$sysroot/include"
}

build_webp() {
    # The decoder and the demuxer only: no tools, no threads (a picture is decoded on the thread
    # that asks for it).
    cmake_build webp "$work/src-libwebp/tree" -DCMAKE_BUILD_TYPE=Release -DBUILD_SHARED_LIBS=OFF \
        -DWEBP_BUILD_ANIM_UTILS=OFF -DWEBP_BUILD_CWEBP=OFF -DWEBP_BUILD_DWEBP=OFF \
        -DWEBP_BUILD_GIF2WEBP=OFF -DWEBP_BUILD_IMG2WEBP=OFF -DWEBP_BUILD_VWEBP=OFF \
        -DWEBP_BUILD_WEBPINFO=OFF -DWEBP_BUILD_LIBWEBPMUX=OFF -DWEBP_BUILD_WEBPMUX=OFF \
        -DWEBP_BUILD_EXTRAS=OFF -DWEBP_USE_THREAD=OFF
}

# Two lanes of about equal work (libtiff needs libjpeg; the rest are independent), each building
# with both cores, so the one still running when the other ends has the machine to itself.
run_lane() {
    local step
    for step in "$@"; do
        if ! "build_$step"; then
            log "building $step failed; its log:"
            tail -n 40 "$work/$step.log" >&2 || true
            return 1
        fi
    done
}
run_lane jpeg tiff &
lane_a=$!
run_lane png gif openjpeg webp &
lane_b=$!
status=0
wait $lane_a || status=1
wait $lane_b || status=1
[ $status -eq 0 ] || exit 1
for file in lib/libjpeg.a lib/libpng16.a lib/libgif.a lib/libopenjp2.a lib/libtiff.a \
    lib/libwebp.a lib/libwebpdemux.a include/jpeglib.h include/png.h include/gif_lib.h \
    include/openjpeg-2.5/openjpeg.h include/tiffio.h include/webp/demux.h \
    share/WebP/cmake/WebPConfig.cmake; do
    if [ ! -f "$prefix/$file" ]; then
        log "the build left no $file"
        exit 1
    fi
done
if ! grep -q '^#define JPEG_SUPPORT' "$prefix/include/tiffconf.h"; then
    log "libtiff was built without JPEG support"
    exit 1
fi

# Each library's notices, as its source package carries them, for the release archive's
# LICENSES.txt: Debian's copyright file and the upstream licence files (libjpeg-turbo's README.ijg
# holds the statement the IJG licence asks a binary's documentation to make).
for entry in "${libraries[@]}"; do
    read -r source_package _ <<<"$entry"
    tree=$work/src-$source_package/tree
    notices=$prefix/licenses/$source_package
    mkdir -p "$notices"
    cp "$tree/debian/copyright" "$notices/debian-copyright"
    for file in "$tree"/LICENSE* "$tree"/COPYING* "$tree"/COPYRIGHT* "$tree"/README.ijg; do
        [ -f "$file" ] && cp "$file" "$notices/"
    done
    if [ "$(ls "$notices" | wc -l)" -lt 2 ]; then
        log "$source_package's source holds no licence file beside debian/copyright"
        exit 1
    fi
done
[ -f "$prefix/licenses/libjpeg-turbo/README.ijg" ] || {
    log "libjpeg-turbo's source holds no README.ijg"
    exit 1
}

{
    echo "Static MinGW-w64 codec libraries for Corvalo, built from Debian's source packages."
    echo "$key_text"
    echo "Built:"
    sort "$work/versions"
} >"$prefix/BUILD-INFO"
touch "$prefix/.complete"
log "done"
echo "$prefix"

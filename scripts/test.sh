#!/usr/bin/env bash
# Builds Corvalo natively and for Windows and runs every test: the portable core natively under
# AddressSanitizer and UndefinedBehaviorSanitizer, every fuzz target briefly over its seeds and kept
# crashers, then the Windows build's tests (unit, window integration and end-to-end) under Wine on
# a private virtual display, and last the release archive's exe in a fresh Wine prefix. Exits
# non-zero on any failure.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
jobs=$(nproc)

scripts/install-deps.sh

echo "== Native build (sanitizers) =="
cmake -S . -B build/native -G Ninja -DCORVALO_SANITIZE=ON >/dev/null
cmake --build build/native -j "$jobs"
ctest --test-dir build/native --output-on-failure

echo "== Fuzz targets over their seeds and kept crashers (clang, sanitizers) =="
CC=clang CXX=clang++ cmake -S . -B build/fuzz -G Ninja -DCORVALO_FUZZ=ON -DCORVALO_TESTS=OFF \
    >/dev/null
cmake --build build/fuzz -j "$jobs"
ctest --test-dir build/fuzz --output-on-failure -L fuzz

echo "== Windows build =="
codecs=$(scripts/build-codecs.sh)  # the static codec libraries, built once per machine
cmake -S . -B build/windows -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
    -DCORVALO_WINDOWS_PREFIX="$codecs" >/dev/null
cmake --build build/windows -j "$jobs"

source scripts/lib/wine-session.sh
trap wine_session_stop EXIT

echo "== Windows tests under Wine (null graphics driver) =="
wine_session_start "$root/build/wineprefix" no-display
ctest --test-dir build/windows --output-on-failure -LE e2e
wine_session_stop

echo "== End-to-end runs under Wine on a virtual display =="
wine_session_start "$root/build/wineprefix" own-display
ctest --test-dir build/windows --output-on-failure -L e2e
wine_session_stop

echo "== The release archive as users get it (imports, a start in a fresh Wine prefix) =="
scripts/release.sh

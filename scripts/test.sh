#!/usr/bin/env bash
# Builds Corvalo natively and for Windows and runs every test: the portable core natively under
# AddressSanitizer and UndefinedBehaviorSanitizer, every fuzz target briefly over its seeds and kept
# crashers, then the Windows build's tests (unit, window integration and end-to-end) under Wine on
# a private virtual display, the product and tests built by a second compiler (clang) with its
# unit tests, and the release archive's exe in a fresh Wine prefix. Exits non-zero on any failure.
#
# Made to be quick on two cores: every build tree compiles through one compiler cache shared by
# the machine's clones (scripts/lib/compiler-cache.sh), test code is compiled without
# optimisation (cmake/test_code.cmake), trees that only check code compile it as unity builds
# (CMakeLists.txt), the codecs build beside the installs and the native builds, the Wine tests run
# in two Wine sessions side by side, and the second compiler's build and the release archive are
# made in the background, below the priority of the builds and tests they run beside.
# Each stage says its time; the last lines are a table of them.
set -euo pipefail
# A failed step says where the script stopped, also when the step's own output is hidden.
trap 'echo "$0: stopped at line $LINENO: $BASH_COMMAND" >&2' ERR
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
jobs=$(nproc)
source scripts/lib/stages.sh
trap stages_summary EXIT

# Only the Windows build needs the codecs: on a new machine they download and build beside the
# rest of the installs (which keep one core busy unpacking) and the native builds, in the moments
# those leave a core idle (configuring, linking, testing).
stage "Installing what the codec build needs"
scripts/install-deps.sh codecs
build_codecs() { scripts/build-codecs.sh >/dev/null; }
codecs_stage="The Windows codec libraries (built once per machine)"
stage_in_background "$codecs_stage" build_codecs 0

stage "Installing what the machine lacks"
scripts/install-deps.sh
source scripts/lib/compiler-cache.sh

# The second compiler's build needs no Wine session: it runs from here to the end, at the lowest
# priority, so it only takes what the other stages leave idle (the native trees' long single-file
# steps, the Wine tests' waits). It starts once the codecs are in: build-codecs.sh waits for the
# build under way, then names the prefix.
second_compiler() {
    local prefix
    prefix=$(scripts/build-codecs.sh)
    cmake --preset windows-cross-clang -DCORVALO_WINDOWS_PREFIX="$prefix" \
        "${compiler_cache_args[@]}" >/dev/null
    cmake --build build/windows-clang -j "$jobs" --target corvalo core_tests win_tests
}
clang_stage="Windows build with the second compiler (clang, lld, warnings as errors)"
stage_in_background "$clang_stage" second_compiler

stage "The Windows workflow, which cannot run here: its syntax"
/usr/bin/python3 tools/check_workflow.py .github/workflows/windows.yml

stage "Native build (sanitizers)"
cmake --preset native-sanitize "${compiler_cache_args[@]}" >/dev/null
cmake --build build/native -j "$jobs"
ctest --test-dir build/native --output-on-failure

stage "Fuzz targets over their seeds and kept crashers (clang, sanitizers)"
cmake --preset fuzz "${compiler_cache_args[@]}" >/dev/null
cmake --build build/fuzz -j "$jobs"
ctest --test-dir build/fuzz --output-on-failure -L fuzz -j "$jobs"

stage_join_background "$codecs_stage"
codecs=$(scripts/build-codecs.sh)

# The release comes after the Windows build, whose objects it reuses; it gives way to the tests.
stage "Windows build"
cmake --preset windows-cross -DCORVALO_WINDOWS_PREFIX="$codecs" "${compiler_cache_args[@]}" >/dev/null
cmake --build build/windows -j "$jobs"

release_stage="The release archive as users get it (imports, a start in a fresh Wine prefix)"
stage_in_background "$release_stage" scripts/release.sh

source scripts/lib/wine-session.sh
trap 'wine_session_stop; stages_summary' EXIT

# The unit and window tests and the end-to-end runs spend most of their time waiting on Wine, so
# they run side by side, each in a Wine prefix and server of its own: they share no window
# station, registry, temporary folder or display.
windows_tests() {
    trap wine_session_stop EXIT
    trap 'exit 143' TERM
    wine_session_start "$root/build/wineprefix-tests" no-display
    ctest --test-dir build/windows --output-on-failure -LE e2e -j "$jobs"
}
tests_stage="Windows tests under Wine (null graphics driver)"
stage_in_background "$tests_stage" windows_tests 0

stage "End-to-end runs under Wine on a virtual display"
wine_session_start "$root/build/wineprefix" own-display
ctest --test-dir build/windows --output-on-failure -L e2e

stage_join_background "$tests_stage"
stage_join_background "$release_stage"
stage_join_background "$clang_stage"

stage "The second compiler's unit tests under Wine"
wine build/windows-clang/tests/core_tests.exe --gtest_brief=1 </dev/null
wine_session_stop
stages_done

#!/usr/bin/env bash
# Builds the Windows configuration in build/windows (configuring it with the codec libraries when
# needed) and runs the launcher menu benchmark once under Wine, in a prefix of its own
# (build/windows/menu-bench-wineprefix) and on an Xvfb display of its own: popup menus are shown
# and painted there, which Wine's null graphics driver does not promise.
#
#   bench/menu/run.sh [items]      (default 1000 launcher items)
set -euo pipefail
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
build=$repo/build/windows
if [[ ! -f $build/CMakeCache.txt ]]; then
    codecs=$("$repo/scripts/build-codecs.sh")
    (cd "$repo" && cmake --preset windows-cross -DCORVALO_WINDOWS_PREFIX="$codecs")
fi
cmake --build "$build" -j2 --target menu_bench

# shellcheck source=../../scripts/lib/wine-session.sh
source "$repo/scripts/lib/wine-session.sh"
wine_session_start "$build/menu-bench-wineprefix" own-display
trap wine_session_stop EXIT
echo "$(wine --version) on $(nproc) cores; load average before: $(cut -d ' ' -f 1-3 /proc/loadavg)"
wine "$build/bench/menu/menu_bench.exe" "${1:-1000}" </dev/null
echo "load average after: $(cut -d ' ' -f 1-3 /proc/loadavg)"

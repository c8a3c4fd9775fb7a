#!/usr/bin/env bash
# Builds the Windows configuration in build/windows (configuring it when needed) and runs the shell
# lookup benchmark once under Wine with the null graphics driver, in the build's own prefix.
#
#   bench/shell/run.sh [lookups]      (default 1000 names per case)
set -euo pipefail
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
build=$repo/build/windows
if [[ ! -f $build/CMakeCache.txt ]]; then
    codecs=$("$repo/scripts/build-codecs.sh")
    (cd "$repo" && cmake --preset windows-cross -DCORVALO_WINDOWS_PREFIX="$codecs")
fi
cmake --build "$build" -j2 --target shell_lookup_bench

# shellcheck source=../../scripts/lib/wine-session.sh
source "$repo/scripts/lib/wine-session.sh"
wine_session_start "$repo/build/wineprefix" no-display
trap wine_session_stop EXIT
echo "$(wine --version) on $(nproc) cores; load average before: $(cut -d ' ' -f 1-3 /proc/loadavg)"
wine "$build/bench/shell/shell_lookup_bench.exe" "${1:-1000}" </dev/null
echo "load average after: $(cut -d ' ' -f 1-3 /proc/loadavg)"

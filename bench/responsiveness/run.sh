#!/usr/bin/env bash
# Builds the Windows configuration in build/windows (configuring it with the codec libraries when
# needed) and measures under Wine, in a prefix of its own and on an Xvfb display of its own, how
# long the window keeps a WM_NULL waiting in its first seconds:
#   the bare window (the peer);
#   corvalo.exe at a first start (no files beside it);
#   corvalo.exe with N launcher items (half of them existing files and folders of several types);
#   the same with one more item on a network share nobody answers for (corvalo_slow_share.exe:
#   corvalo.exe whose shell takes for ever for that share, as Windows' does when its server is
#   gone; Wine answers for a missing server at once).
# Also the private memory of each once idle, beside the bare window's: read from the Wine process
# (the anonymous memory of /proc/PID/smaps_rollup: what it has allocated, not the pages of files
# it maps). The figure is the first start's; the one with N items is printed too.
#
#   bench/responsiveness/run.sh [items] [seconds]      (default 1000 items, 8 s)
#
# CORVALO_EXE=<path> measures that corvalo.exe in place of the one of build/windows (an earlier
# build, say, to compare with).
set -euo pipefail
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
build=$repo/build/windows
items=${1:-1000}
seconds=${2:-8}
if [[ ! -f $build/CMakeCache.txt ]]; then
    codecs=$("$repo/scripts/build-codecs.sh")
    (cd "$repo" && cmake --preset windows-cross -DCORVALO_WINDOWS_PREFIX="$codecs")
fi
cmake --build "$build" -j2 --target corvalo corvalo_slow_share measure_responsiveness bare_window

# shellcheck source=../../scripts/lib/wine-session.sh
source "$repo/scripts/lib/wine-session.sh"
wine_session_start "$build/responsiveness-wineprefix" own-display
work=$(mktemp -d)
trap 'wine_session_stop; rm -rf "$work"' EXIT
# Shown as they are shipped: without the debug information of the development build.
mkdir -p "$work/bare" "$work/first" "$work/items" "$work/share"
x86_64-w64-mingw32-strip -o "$work/bare/bare_window.exe" "$build/bench/startup/bare_window.exe"
x86_64-w64-mingw32-strip -o "$work/first/corvalo.exe" "${CORVALO_EXE:-$build/corvalo.exe}"
cp "$work/first/corvalo.exe" "$work/items/corvalo.exe"
x86_64-w64-mingw32-strip -o "$work/share/corvalo.exe" "$build/bench/responsiveness/corvalo_slow_share.exe"
windows() { winepath -w "$1" 2>/dev/null | tr -d '\r'; }
/usr/bin/python3 "$repo/bench/responsiveness/make_items.py" "$work/items" "$(windows "$work/items")" "$items"
/usr/bin/python3 "$repo/bench/responsiveness/make_items.py" "$work/share" "$(windows "$work/share")" "$items" --share

# A program's private memory in kB, read once it says it is idle: its Wine process is the newest
# one of the exe's name.
private_kb() {
    awk '/^Anonymous:/ { kb += $2 } END { print kb + 0 }' "/proc/$1/smaps_rollup"
}
echo "$(wine --version) on $(nproc) cores; load average before: $(cut -d ' ' -f 1-3 /proc/loadavg)"
memory=()
while IFS= read -r line; do
    if [[ $line == idle\ * ]]; then
        # The programs run in turn: the bare window first, then the two of Corvalo.
        name=corvalo.exe
        ((${#memory[@]} == 0)) && name=bare_window.exe
        pid=$(pgrep -n -x "$name" || true)
        memory+=("$([[ -n $pid ]] && private_kb "$pid" || echo 0)")
    else
        echo "$line"
    fi
done < <(wine "$build/bench/responsiveness/measure_responsiveness.exe" "$seconds" \
    "$(windows "$work/bare/bare_window.exe")" CorvaloBareWindow \
    "$(windows "$work/first/corvalo.exe")" CorvaloMainWindow \
    "$(windows "$work/items/corvalo.exe")" CorvaloMainWindow \
    "$(windows "$work/share/corvalo.exe")" CorvaloMainWindow </dev/null)
if ((${#memory[@]} >= 3 && memory[0] > 0 && memory[1] > 0 && memory[2] > 0)); then
    mb() { awk -v kb="$1" 'BEGIN { printf "%.3f", kb / 1024 }'; }
    echo "Private memory once idle: bare window ${memory[0]} kB, corvalo.exe at a first start" \
        "${memory[1]} kB (+$(mb $((memory[1] - memory[0]))) MB), with $items items ${memory[2]} kB" \
        "(+$(mb $((memory[2] - memory[0]))) MB)"
    printf 'FIGURE\tIdle private memory, first start\t%s\t%s\tbare window\tMB\tours<=peer+4\n' \
        "$(mb "${memory[1]}")" "$(mb "${memory[0]}")"
    printf 'FIGURE\tIdle private memory, %s items\t%s\t%s\tbare window\tMB\t-\n' "$items" \
        "$(mb "${memory[2]}")" "$(mb "${memory[0]}")"
fi
echo "load average after: $(cut -d ' ' -f 1-3 /proc/loadavg)"

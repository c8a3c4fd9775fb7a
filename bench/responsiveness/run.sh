#!/usr/bin/env bash
# Builds the Windows configuration in build/windows (configuring it with the codec libraries when
# needed) and measures under Wine, in a prefix of its own and on an Xvfb display of its own, how
# long the window keeps a WM_NULL waiting in its first seconds:
#   the bare window (the peer);
#   corvalo.exe with N launcher items (half of them existing files and folders of several types);
#   the same with one more item on a network share nobody answers for (corvalo_slow_share.exe:
#   corvalo.exe whose shell takes for ever for that share, as Windows' does when its server is
#   gone; Wine answers for a missing server at once).
# Also the private memory of each once idle (read from the Wine process, /proc/PID/smaps_rollup),
# beside the bare window's.
#
#   bench/responsiveness/run.sh [items] [seconds]      (default 1000 items, 8 s)
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
mkdir -p "$work/bare" "$work/items" "$work/share"
x86_64-w64-mingw32-strip -o "$work/bare/bare_window.exe" "$build/bench/startup/bare_window.exe"
x86_64-w64-mingw32-strip -o "$work/items/corvalo.exe" "$build/corvalo.exe"
x86_64-w64-mingw32-strip -o "$work/share/corvalo.exe" "$build/bench/responsiveness/corvalo_slow_share.exe"
windows() { winepath -w "$1" 2>/dev/null | tr -d '\r'; }
/usr/bin/python3 "$repo/bench/responsiveness/make_items.py" "$work/items" "$(windows "$work/items")" "$items"
/usr/bin/python3 "$repo/bench/responsiveness/make_items.py" "$work/share" "$(windows "$work/share")" "$items" --share

# A program's private memory in kB, read once it says it is idle: its Wine process is the newest
# one whose command line names the exe.
private_kb() {
    awk '/^Private_(Clean|Dirty):/ { kb += $2 } END { print kb + 0 }' "/proc/$1/smaps_rollup"
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
    "$(windows "$work/items/corvalo.exe")" CorvaloMainWindow \
    "$(windows "$work/share/corvalo.exe")" CorvaloMainWindow </dev/null)
if ((${#memory[@]} >= 2 && memory[0] > 0 && memory[1] > 0)); then
    echo "Private memory once idle: bare window ${memory[0]} kB, corvalo.exe with $items items ${memory[1]} kB" \
        "(+$(((memory[1] - memory[0]) / 1024)) MB)"
    printf 'FIGURE\tIdle private memory, %s items\t%.3f\t%.3f\tbare window\tMB\tours<=peer+4\n' \
        "$items" "$(awk -v kb="${memory[1]}" 'BEGIN { print kb / 1024 }')" \
        "$(awk -v kb="${memory[0]}" 'BEGIN { print kb / 1024 }')"
fi
echo "load average after: $(cut -d ' ' -f 1-3 /proc/loadavg)"

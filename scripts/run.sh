#!/usr/bin/env bash
# Builds Corvalo and starts it under Wine in a run folder of its own (run/), where its data files
# land beside the exe. With a display it runs until you quit it. Without one it starts a virtual
# display, waits for the picture window, saves a screenshot in run/, closes Corvalo the way a user
# would (so its final save runs) and stops Wine and the display.
set -euo pipefail
# A failed step says where the script stopped, also when the step's own output is hidden.
trap 'echo "$0: stopped at line $LINENO: $BASH_COMMAND" >&2' ERR
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

scripts/install-deps.sh
source scripts/lib/compiler-cache.sh
codecs=$(scripts/build-codecs.sh)  # the static codec libraries, built once per machine
cmake --preset windows-cross -DCORVALO_WINDOWS_PREFIX="$codecs" "${compiler_cache_args[@]}" >/dev/null
cmake --build build/windows -j "$(nproc)" --target corvalo send_close

mkdir -p run
cp build/windows/corvalo.exe run/corvalo.exe

source scripts/lib/wine-session.sh
source scripts/lib/picture-window.sh
headless=0
[ -z "${DISPLAY:-}" ] && headless=1
trap wine_session_stop EXIT
wine_session_start "$root/build/wineprefix-run"

if [ $headless -eq 0 ]; then
    echo "Corvalo runs; right-click the picture for its menu, or close it with Alt+F4."
    (cd run && wine corvalo.exe)
    exit 0
fi


(cd run && exec wine corvalo.exe </dev/null >/dev/null 2>&1) &
corvalo_pid=$!
window=$(wait_for_picture_window)
if [ -z "$window" ]; then
    echo "Corvalo's window did not appear." >&2
    exit 1
fi
sleep 0.5  # let the first paint settle
import -window root run/screenshot.png
wine build/windows/tests/send_close.exe </dev/null >/dev/null 2>&1 || true
wait "$corvalo_pid" 2>/dev/null || true
echo "Corvalo started and closed cleanly. Screenshot: $root/run/screenshot.png"
echo "Its files: $(cd run && ls corvalo.* | tr '\n' ' ')"

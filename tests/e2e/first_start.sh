#!/usr/bin/env bash
# A first start in an empty folder: the picture window appears where it belongs, follows a drag with
# the left mouse button, and its close writes the settings, picture and icon-list files.
set -euo pipefail
exe=$1 send_close=$2 artifacts=$3
if [ -z "${DISPLAY:-}" ] || [ -z "${WINEPREFIX:-}" ]; then
    echo "needs the X display and Wine prefix of the test command"
    exit 77
fi
mkdir -p "$artifacts"
folder=$(mktemp -d)
trap 'rm -rf "$folder"' EXIT
cp "$exe" "$folder/corvalo.exe"


source "$(dirname "$0")/../../scripts/lib/picture-window.sh"

fail() { echo "FAIL: $*" >&2; exit 1; }

(cd "$folder" && exec wine corvalo.exe </dev/null >/dev/null 2>&1) &
pid=$!
window=$(wait_for_picture_window)
[ -n "$window" ] || fail "the picture window did not appear"
sleep 0.5

geometry() { xdotool getwindowgeometry --shell "$window"; }
eval "$(geometry)"
echo "window at $X,$Y size ${WIDTH}x$HEIGHT"
[ "$X" = 1588 ] && [ "$Y" = 251 ] || fail "first start should be at 1588,251, not $X,$Y"
[ "$WIDTH" = 256 ] && [ "$HEIGHT" = 256 ] || fail "the window should be the picture's 256x256"
import -window root "$artifacts/first-start.png"

# Drag the picture 100 pixels left and 60 up with the left button.
drag_mouse "$((X + 128))" "$((Y + 128))" "$((X + 28))" "$((Y + 68))"
sleep 0.5
eval "$(geometry)"
echo "after the drag: $X,$Y"
import -window root "$artifacts/after-drag.png"
[ "$X" = 1488 ] && [ "$Y" = 191 ] || fail "the drag should have moved the window to 1488,191, not $X,$Y"

wine "$send_close" </dev/null >/dev/null 2>&1 || fail "the program did not close on request"
wait "$pid" 2>/dev/null || true

ini="$folder/corvalo.ini"
[ -f "$ini" ] || fail "no settings file"
[ "$(head -c 2 "$ini" | od -An -tx1 | tr -d ' ')" = fffe ] || fail "the settings file is not UTF-16"
text=$(settings_text "$ini")
echo "$text" | grep -qx 'FormLeft=1488' || fail "FormLeft not saved: $text"
echo "$text" | grep -qx 'FormTop=191' || fail "FormTop not saved: $text"
echo "$text" | grep -qx 'Alpha=200' || fail "Alpha not saved: $text"
[ -s "$folder/corvalo.bmp" ] || fail "no picture file"
[ "$(head -c 2 "$folder/corvalo.bmp")" = BM ] || fail "the picture file is not a bitmap"
[ -s "$folder/corvalo.icons" ] || fail "no icon-list file"
echo "1 passed, 0 failed"

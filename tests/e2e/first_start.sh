#!/usr/bin/env bash
# A first start in an empty folder: the picture window appears where it belongs, follows a drag with
# the left mouse button, and its close writes the settings, picture and icon-list files. A start
# with a stored position off every monitor shows the window on the screen, and a settings file that
# cannot be written keeps the program open at the first close only, while the picture file is
# saved anyway.
set -euo pipefail
exe=$1 send_close=$2 artifacts=$3
source "$(dirname "$0")/session.sh"
mkdir -p "$artifacts"
folder=$(mktemp -d)
trap 'rm -rf "$folder"' EXIT
cp "$exe" "$folder/corvalo.exe"

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
grep -qx 'FormLeft=1488' <<<"$text" || fail "FormLeft not saved: $text"
grep -qx 'FormTop=191' <<<"$text" || fail "FormTop not saved: $text"
grep -qx 'Alpha=200' <<<"$text" || fail "Alpha not saved: $text"
[ -s "$folder/corvalo.bmp" ] || fail "no picture file"
[ "$(head -c 2 "$folder/corvalo.bmp")" = BM ] || fail "the picture file is not a bitmap"
[ -s "$folder/corvalo.icons" ] || fail "no icon-list file"

# A position from a monitor that is gone: the window comes onto the screen, fully.
printf '\xff\xfe' >"$folder/corvalo.ini.new"
echo "$text" | sed 's/^FormLeft=.*/FormLeft=5000/; s/^FormTop=.*/FormTop=-3000/' | sed 's/$/\r/' |
    iconv -f UTF-8 -t UTF-16LE >>"$folder/corvalo.ini.new"
mv "$folder/corvalo.ini.new" "$ini"
(cd "$folder" && exec wine corvalo.exe </dev/null >/dev/null 2>&1) &
pid=$!
window=$(wait_for_picture_window)
[ -n "$window" ] || fail "the picture window did not appear at the second start"
sleep 0.5
eval "$(geometry)"
echo "stored at 5000,-3000, shown at $X,$Y"
import -window root "$artifacts/off-screen-position.png"
[ "$X" = $((1920 - 256)) ] && [ "$Y" = 0 ] || fail "the window should be at 1664,0 on the 1920x1080 screen, not $X,$Y"
wine "$send_close" </dev/null >/dev/null 2>&1 || fail "the program did not close on request"
wait "$pid" 2>/dev/null || true
grep -qx 'FormLeft=1664' <<<"$(settings_text "$ini")" || fail "the shown position was not saved"

# The settings file turns unwritable while the program runs. Wine's taskkill without /f asks the
# program's windows to close, as the close box does.
(cd "$folder" && exec wine corvalo.exe </dev/null >/dev/null 2>&1) &
pid=$!
window=$(wait_for_picture_window)
[ -n "$window" ] || fail "the picture window did not appear at the third start"
sleep 0.5
rm "$ini" && mkdir "$ini"
# A resize step meanwhile: the picture file is saved although the settings file is not.
eval "$(geometry)"
xdotool mousemove "$((X + 20))" "$((Y + 20))" click 1
sleep 0.3
xdotool key shift+Down
width_is() { eval "$(geometry)"; [ "$WIDTH" = "$1" ]; }
wait_until 5 width_is 266 || fail "Shift+Down should make the picture 266 wide, not $WIDTH"
has_error_box() {
    [ -n "$(corvalo_windows | awk -v picture="$window" '$1 != picture && $2 > 100 { print $1; exit }')" ]
}
for attempt in first second; do
    wine taskkill /im corvalo.exe </dev/null >/dev/null 2>&1 || true
    wait_until 10 has_error_box || fail "no error box at the $attempt close"
    [ $attempt = first ] && import -window root "$artifacts/unwritable-settings.png"
    xdotool key Return
    sleep 0.5
    if [ $attempt = first ]; then
        kill -0 "$pid" 2>/dev/null || fail "the first failed close should keep the window open"
    fi
done
wait_for_exit "$pid" || fail "the second close of an unwritable settings file did not end the program"
width=$(od -An -tu4 -j18 -N4 "$folder/corvalo.bmp" | tr -d ' ')
echo "the picture file after the resize step and an unwritable settings file: $width wide"
[ "$width" = 266 ] || fail "the resize step was lost with the settings file: the picture is $width wide, not 266"
echo "3 passed, 0 failed"

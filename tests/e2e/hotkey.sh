#!/usr/bin/env bash
# The hotkey as a user sets it up: Settings... > Hotkey..., Ctrl+Alt+K pressed into the field and
# Enter; then, with another program's window in front (Wine's Notepad), Ctrl+Alt+K opens the
# launcher menu at the pointer. After a restart the stored hotkey works again.
set -euo pipefail
exe=$1 send_close=$2 artifacts=$3
source "$(dirname "$0")/session.sh"
mkdir -p "$artifacts"
folder=$(mktemp -d)
notepad=""
trap '[ -n "$notepad" ] && kill "$notepad" 2>/dev/null; rm -rf "$folder"' EXIT
cp "$exe" "$folder/corvalo.exe"
printf '[ADMIN]\r\nFormLeft=200\r\nFormTop=100\r\n[MENU]\r\nNotepad=notepad.exe\r\nWeb=https://example.com\r\n' |
    iconv -f UTF-8 -t UTF-16LE | { printf '\xff\xfe'; cat; } >"$folder/corvalo.ini"

start() {
    start_copy_in "$folder"
    [ -n "$window" ] || fail "the picture window did not appear"
    sleep 0.5
}

close() {
    close_copy "$send_close" || fail "the program did not close on request"
}

# The screen just below and right of a point, where a menu opened there lies.
below_right_of() { # x y file
    import -window root -crop "100x50+$(($1 + 4))+$(($2 + 4))" +repage "$3"
}

# With Notepad in front and the pointer away from the picture, the hotkey opens the menu there:
# the screen below the pointer changes from Notepad's to the menu's rows.
menu_from_notepad() { # screenshot
    xdotool windowactivate --sync "$notepad_window" 2>/dev/null || true
    sleep 0.5
    xdotool mousemove 700 600
    sleep 0.3
    below_right_of 700 600 "$folder/before.png"
    xdotool key ctrl+alt+k
    sleep 1
    below_right_of 700 600 "$folder/after.png"
    import -window root -crop "400x300+600+500" +repage "$artifacts/$1"
    xdotool key Escape
    sleep 0.3
    local changed
    changed=$(compare -metric AE "$folder/before.png" "$folder/after.png" null: 2>&1 || true)
    echo "pixels changed below the pointer by the hotkey: $changed"
    [ "${changed%%.*}" -gt 500 ] 2>/dev/null || fail "the hotkey did not open the menu at the pointer"
}

# The first visible window whose title matches, waiting up to 20 seconds; empty when none came.
wait_for_window_named() { # pattern
    local found=""
    for _ in $(seq 1 100); do
        found=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -1 || true)
        [ -n "$found" ] && break
        sleep 0.2
    done
    echo "$found"
}

(cd "$folder" && exec wine notepad </dev/null >/dev/null 2>&1) &
notepad=$!
notepad_window=$(wait_for_window_named 'Notepad')
[ -n "$notepad_window" ] || fail "Notepad did not open"

start
eval "$(xdotool getwindowgeometry --shell "$window")"
xdotool mousemove 0 0
open_menu_at "$((X + 100))" "$((Y + 120))"
choose_setting 4
dialog=$(wait_for_window_named '^Hotkey$')
[ -n "$dialog" ] || fail "Hotkey... did not open the hotkey window"
sleep 0.3
xdotool key ctrl+alt+k
sleep 0.3
import -window "$dialog" "$artifacts/hotkey-dialog.png"
xdotool key Return
sleep 0.5
[ -z "$(xdotool search --onlyvisible --name '^Hotkey$' 2>/dev/null || true)" ] ||
    fail "Enter did not close the hotkey window"
menu_from_notepad hotkey-menu.png
close
grep -qx 'Hotkey=Ctrl+Alt+K' <<<"$(settings_text "$folder/corvalo.ini")" ||
    fail "the hotkey was not stored: $(settings_text "$folder/corvalo.ini")"

start
menu_from_notepad hotkey-menu-after-restart.png
close
echo "1 passed, 0 failed"

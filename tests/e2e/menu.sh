#!/usr/bin/env bash
# The menu end to end: three items in the settings file, a right click on the picture opens the
# menu (kept as a screenshot), choosing an item runs it, choosing one whose program is missing
# shows the error box, and Settings... > Quit closes Corvalo with
# its files saved. A msimg32.dll dropped beside the exe (the system DLL that draws the menu's
# glyphs, which Windows does not keep among its known DLLs) is never loaded, although Wine is told
# to prefer a DLL it finds over its own, as Windows' search order would. (Not version.dll: Wine's
# own user32 imports it, so Wine loads one beside any exe before the exe runs.)
set -euo pipefail
exe=$1 marker_exe=$2 artifacts=$3 planted=$4 send_close=$5
source "$(dirname "$0")/session.sh"
mkdir -p "$artifacts"
folder=$(mktemp -d)
trap 'rm -rf "$folder"' EXIT
cp "$exe" "$folder/corvalo.exe"
cp "$marker_exe" "$folder/write_marker.exe"
cp "$planted" "$folder/msimg32.dll"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:+$WINEDLLOVERRIDES;}msimg32=n,b"
folder_win=$(winepath -w "$folder")

# The settings file, UTF-16 with its byte-order mark as Corvalo itself makes it.
printf '[MENU]\r\nAlpha marker=%s\\write_marker.exe /first second\r\nBeta=C:\\nothing\\here.exe\r\nGamma=https://example.com\r\n' \
    "$folder_win" | iconv -f UTF-8 -t UTF-16LE | { printf '\xff\xfe'; cat; } >"$folder/corvalo.ini"

(cd "$folder" && exec wine corvalo.exe </dev/null >/dev/null 2>&1) &
pid=$!
window=$(wait_for_picture_window)
[ -n "$window" ] || fail "the picture window did not appear"
sleep 0.5
eval "$(xdotool getwindowgeometry --shell "$window")"

open_menu() { open_menu_at "$((X + 60))" "$((Y + 60))"; }

# Open the menu and keep a picture of it; then Down, Down, Down: Settings..., the spacer, the
# first item ("Alpha marker"), and Enter runs it.
open_menu
import -window root "$artifacts/menu-open.png"
xdotool key Down Down Down Return
for _ in $(seq 1 100); do
    [ -f "$folder/marker.txt" ] && break
    sleep 0.1
done
[ -f "$folder/marker.txt" ] || fail "choosing the item did not run it"
sleep 0.2
[ "$(head -n1 "$folder/marker.txt" | tr -d '\r')" = "first second" ] || fail "parameters: $(cat "$folder/marker.txt")"

# An item whose program is missing ("Beta", the next one) says so in the error box, with its
# caption and target; OK closes the box and the picture goes on.
has_error_box() {
    [ -n "$(corvalo_windows | awk -v picture="$window" '$1 != picture && $2 > 100 { print $1; exit }')" ]
}
open_menu
xdotool key Down Down Down Down Return
wait_until 10 has_error_box || fail "a launch that failed showed no error box"
import -window root "$artifacts/launch-failed.png"
xdotool key Return
no_error_box() { ! has_error_box; }
wait_until 5 no_error_box || fail "the error box did not close"

# Settings... > Quit: into the submenu, up to its last entry.
open_menu
choose_quit "$artifacts/menu-settings.png"
wait_for_exit "$pid" || fail "Quit did not close Corvalo"
text=$(settings_text "$folder/corvalo.ini")
grep -qx 'Alpha=200' <<<"$text" || fail "the final save did not run: $text"
grep -q '^Gamma=https://example.com$' <<<"$text" || fail "items not saved: $text"
[ -s "$folder/corvalo.bmp" ] || fail "no picture file"
# A close while the menu is open (the user logs off, another program asks) ends the program, with
# its save, whatever loop the menu runs.
(cd "$folder" && exec wine corvalo.exe </dev/null >/dev/null 2>&1) &
pid=$!
window=$(wait_for_picture_window)
[ -n "$window" ] || fail "the picture window did not appear again"
sleep 0.5
eval "$(xdotool getwindowgeometry --shell "$window")"
open_menu
wine "$send_close" </dev/null >/dev/null 2>&1 || fail "a close while the menu was open did not end Corvalo"
wait_for_exit "$pid" || fail "the process went on after a close while the menu was open"

loaded=$(cd "$folder" && ls planted-*.txt 2>/dev/null || true)
[ -z "$loaded" ] || fail "a DLL planted beside the exe was loaded: $loaded"
echo "1 passed, 0 failed"

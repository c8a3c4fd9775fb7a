#!/usr/bin/env bash
# Adding an item by dragging a file onto the picture: a real drag with the mouse from another
# program, the item editor filled with the file, a caption typed, Enter stores it; the settings
# file holds the item at once, the menu shows it and choosing it runs the file.
set -euo pipefail
exe=$1 drag_source=$2 marker_exe=$3 artifacts=$4
source "$(dirname "$0")/session.sh"
mkdir -p "$artifacts"
folder=$(mktemp -d)
source_pid=""
cleanup() {
    if [ -n "$source_pid" ]; then kill "$source_pid" 2>/dev/null || true; fi
    rm -rf "$folder"
}
trap cleanup EXIT
cp "$exe" "$folder/corvalo.exe"
cp "$drag_source" "$folder/drag_source.exe"
cp "$marker_exe" "$folder/write_marker.exe"
target_win="$(winepath -w "$folder")\\write_marker.exe"

settings() { settings_text "$folder/corvalo.ini"; }

(cd "$folder" && exec wine corvalo.exe </dev/null >/dev/null 2>&1) &
pid=$!
window=$(wait_for_picture_window)
[ -n "$window" ] || fail "the picture window did not appear"
eval "$(xdotool getwindowgeometry --shell "$window")"
picture_x=$((X + 128)) picture_y=$((Y + 128))

start_drag_source "$folder" drag_source.exe "$target_win" ||
    fail "the drag source did not show its window"
source_pid=$drag_source_pid

# Press on the source, move over to the picture in steps as a hand does, let go.
drag_mouse 200 200 "$picture_x" "$picture_y"

# The editor opens modally with the file as its target and its caption still empty; a caption is
# typed, and Enter stores it.
name_item_in_editor "$window" Marker "$artifacts/drop-editor.png" "$artifacts/drop-editor-filled.png" ||
    fail "the item editor did not open after the drop"
for _ in $(seq 1 50); do
    grep -q '^Marker=' <<<"$(settings)" && break
    sleep 0.1
done
grep -qxF "Marker=$target_win" <<<"$(settings)" || fail "the item was not stored at once: $(settings)"
for _ in $(seq 1 50); do
    [ -f "$folder/drag-result.txt" ] && break
    sleep 0.1
done
grep -qx 'dropped [15]' <<<"$(tr -d '\r' <"$folder/drag-result.txt")" ||
    fail "the drag source saw: $(cat "$folder/drag-result.txt" 2>/dev/null)"

# The menu holds the new item after Settings... and the spacer; choosing it runs the file.
open_menu_at "$picture_x" "$picture_y"
import -window root "$artifacts/drop-menu.png"
xdotool key Down Down Down Return
for _ in $(seq 1 100); do
    [ -f "$folder/marker.txt" ] && break
    sleep 0.1
done
[ -f "$folder/marker.txt" ] || fail "choosing the new item did not run it"

open_menu_at "$picture_x" "$picture_y"
choose_quit
wait_for_exit "$pid" || fail "Quit did not close Corvalo"
grep -qxF "Marker=$target_win" <<<"$(settings)" || fail "the item is gone after the close: $(settings)"
echo "1 passed, 0 failed"

#!/usr/bin/env bash
# The whole user story in one run, as a user lives it: a first start in an empty folder, moving,
# growing and fading the picture, a shortcut dropped onto it and named in the editor, a picture
# with see-through parts dropped with Shift, the new item run from the menu, another menu font,
# the taskbar button and the start with Windows switched, a Quit and a new start that brings all
# of it back, and a second start that ends at once. Each step is checked by what is on the screen,
# in the files beside the exe and in the registry; screenshots are kept as artefacts.
set -euo pipefail
exe=$1 marker_exe=$2 drag_source=$3 make_shortcut=$4 window_state=$5 artifacts=$6
source "$(dirname "$0")/session.sh"
mkdir -p "$artifacts"
folder=$(mktemp -d)
pid="" drag_source_pid="" backdrop_pid=""
cleanup() {
    [ -n "$backdrop_pid" ] && kill "$backdrop_pid" 2>/dev/null
    [ -n "$drag_source_pid" ] && kill "$drag_source_pid" 2>/dev/null
    [ -n "$pid" ] && kill "$pid" 2>/dev/null
    # A run stopped half-way leaves no start entry behind for the next one.
    [ -n "$(run_value)" ] && wine reg delete "$run_key" /v corvalo /f </dev/null >/dev/null 2>&1
    rm -rf "$folder"
}
trap cleanup EXIT
cp "$exe" "$folder/corvalo.exe"
cp "$marker_exe" "$folder/write_marker.exe"
cp "$drag_source" "$folder/drag_source.exe"
folder_win=$(winepath -w "$folder")
exe_win="$folder_win\\corvalo.exe"
ini="$folder/corvalo.ini"
run_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Run'

step() { echo "== [${SECONDS}s] $*"; }
shot() { import -window root "$artifacts/story-$1.png"; }
settings() { settings_text "$ini"; }
has_setting() { grep -qxF "$1" <<<"$(settings)"; }
geometry_is() { # expected "X,Y WIDTHxHEIGHT"
    eval "$(xdotool getwindowgeometry --shell "$window")"
    [ "$X,$Y ${WIDTH}x$HEIGHT" = "$1" ]
}
where() { eval "$(xdotool getwindowgeometry --shell "$window")" && echo "$X,$Y ${WIDTH}x$HEIGHT"; }
# The colour of one screen pixel, as ImageMagick names it ("srgb(r,g,b)").
pixel() { import -window root -crop "1x1+$1+$2" +repage -format '%[pixel:p{0,0}]' info:; }
pixel_is() { [ "$(pixel "$1" "$2")" = "$3" ]; }
# The picture window's opacity as the X server is told it, 0xFFFFFFFF for opaque.
opacity() { xprop -id "$window" _NET_WM_WINDOW_OPACITY 2>/dev/null | awk '{print $NF}'; }
opacity_is() { [ "$(opacity)" = $(($1 * 0x01010101)) ]; }
start_corvalo() {
    (cd "$folder" && exec wine corvalo.exe </dev/null >/dev/null 2>&1) &
    pid=$!
    window=$(wait_for_picture_window "$pid")
    [ -n "$window" ] || fail "the picture window did not appear"
}
quit_corvalo() {
    open_menu_at "$1" "$2"
    choose_quit
    wait_for_exit "$pid" || fail "Quit did not close Corvalo"
    pid=""
}
# The start-with-Windows value of this exe ("corvalo    REG_SZ    "C:\\...\\corvalo.exe""), if any.
run_value() { wine reg query "$run_key" /v corvalo </dev/null 2>/dev/null | tr -d '\r' | grep REG_SZ || true; }
run_value_is_this_exe() { grep -qF "$exe_win" <<<"$(run_value)"; }
no_run_value() { [ -z "$(run_value)" ]; }

# A backdrop of one known colour, so that see-through parts of the picture can be told apart: the
# root window's background, set as xsetroot -solid does. The setter stays connected until the end,
# since the X server resets the root window whenever its last client goes.
backdrop='srgb(40,150,90)'
/usr/bin/python3 - 0x28965a <<'ROOT' &
import ctypes, signal, sys
x11 = ctypes.CDLL("libX11.so.6")
x11.XOpenDisplay.restype = ctypes.c_void_p
x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
x11.XDefaultRootWindow.restype = ctypes.c_ulong
x11.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
x11.XSetWindowBackground.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_ulong]
x11.XClearWindow.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
x11.XFlush.argtypes = [ctypes.c_void_p]
display = x11.XOpenDisplay(None)
if not display:
    sys.exit("cannot open the display")
root = x11.XDefaultRootWindow(display)
x11.XSetWindowBackground(display, root, int(sys.argv[1], 16))
x11.XClearWindow(display, root)
x11.XFlush(display)
signal.pause()
ROOT
backdrop_pid=$!
wait_until 5 pixel_is 5 5 "$backdrop" || fail "could not paint the backdrop: $(pixel 5 5)"

step "1. first start in an empty folder"
start_corvalo
wait_until 5 geometry_is "1588,251 256x256" || fail "the first start should show 256x256 at 1588,251, not $(where)"
sleep 0.3
shot 1-first-start
# The built-in picture is shown whole: nothing of it is see-through yet.
! pixel_is 1589 252 "$backdrop" || fail "the built-in picture should not be see-through at a first start"

step "2. move the picture with the mouse"
drag_mouse 1716 379 1416 279
wait_until 5 geometry_is "1288,151 256x256" || fail "the drag should move the picture to 1288,151, not $(where)"

step "3. Shift+Down three times"
xdotool key shift+Down shift+Down shift+Down
wait_until 5 geometry_is "1288,151 286x286" || fail "three Shift+Down should make it 286x286, not $(where)"
shot 3-larger

step "4. Shift+wheel up twice"
# Each notch up takes 10 off the opacity of 200 (of 255).
opacity_is 200 || fail "a first start should be at opacity 200 of 255, not $(opacity)"
xdotool mousemove 1400 250
xdotool keydown shift click 4 click 4 keyup shift
wait_until 5 opacity_is 180 ||
    fail "two notches should bring the opacity to 180 of 255, not $(opacity)"

step "5. drop a shortcut onto the picture and name it in the editor"
wine "$make_shortcut" "$folder_win\\Marker tool.lnk" "$folder_win\\write_marker.exe" </dev/null >/dev/null 2>&1 ||
    fail "could not make the shortcut"
start_drag_source "$folder" drag_source.exe "$folder_win\\Marker tool.lnk" ||
    fail "the drag source did not show its window"
drag_mouse 200 200 1430 290
name_item_in_editor "$window" Marker "" "$artifacts/story-5-editor.png" ||
    fail "the item editor did not open after the drop"
wait_until 5 has_setting "Marker=$folder_win\\write_marker.exe" ||
    fail "the item should be stored at once with the shortcut's target: $(settings)"
wait_until 5 test -s "$folder/drag-result.txt" || fail "the drag source never ended"
drag_source_pid=""

step "6. Shift+drop a picture with see-through parts"
# A red disc with a yellow middle on a fully transparent square; the transparent pixels, the
# bottom-left one among them, become see-through.
/usr/bin/python3 - "$folder/disc.png" <<'DISC'
import sys
from PIL import Image, ImageDraw
image = Image.new("RGBA", (160, 160), (0, 0, 0, 0))
draw = ImageDraw.Draw(image)
draw.ellipse((10, 10, 149, 149), fill=(200, 30, 40, 255))
draw.ellipse((60, 60, 99, 99), fill=(250, 210, 20, 255))
image.save(sys.argv[1])
DISC
start_drag_source "$folder" drag_source.exe "$folder_win\\disc.png" ||
    fail "the drag source did not show its window"
xdotool mousemove 200 200 mousedown 1
sleep 0.3
xdotool mousemove 600 250 keydown shift
sleep 0.1
xdotool mousemove 1000 280
sleep 0.1
xdotool mousemove 1420 290
sleep 0.3
xdotool mouseup 1
sleep 0.1
xdotool keyup shift
wait_until 5 geometry_is "1288,151 160x160" || fail "the new picture should make the window 160x160, not $(where)"
wait_until 5 test -s "$folder/drag-result.txt" || fail "the drag source never ended"
drag_source_pid=""
[ -z "$(wait_for_editor "$window" 1)" ] || fail "a picture dropped with Shift should not open the editor"
shot 6-see-through
# Corners and the gap between disc and edge show the backdrop; the disc and its middle do not.
for point in "1290 153" "1446 153" "1290 309" "1446 309" "1367 156"; do
    set -- $point
    wait_until 3 pixel_is "$1" "$2" "$backdrop" ||
        fail "the see-through pixel at $1,$2 is $(pixel "$1" "$2"), not the backdrop"
done
wait_until 3 pixel_is 1308 230 'srgb(200,30,40)' || fail "the disc at 1308,230 is $(pixel 1308 230)"
wait_until 3 pixel_is 1368 231 'srgb(250,210,20)' || fail "the disc's middle at 1368,231 is $(pixel 1368 231)"

step "7. run the new item from the menu"
open_menu_at 1368 231
shot 7-menu
xdotool key Down Down Down Return
wait_until 10 test -s "$folder/marker.txt" || fail "choosing the item did not run it"
sleep 0.2
[ "$(sed -n 2p "$folder/marker.txt" | tr -d '\r')" = "$folder_win" ] ||
    fail "the item ran in the wrong folder: $(cat "$folder/marker.txt")"

step "8. another menu font"
open_menu_at 1368 231
choose_setting 3
wait_until 10 xdotool search --onlyvisible --name '^Font$' >/dev/null 2>&1 || fail "the font dialog did not open"
sleep 0.5
# Tahoma, bold, size 14, typed into the dialog's fields through their access keys (the face too,
# as the dialog does not always open on the current one).
xdotool key alt+f
xdotool type --delay 30 'Tahoma'
xdotool key alt+y
xdotool type --delay 30 'Bold'
xdotool key alt+s
xdotool type --delay 30 '14'
sleep 0.3
shot 8-font-dialog
xdotool key Return
wait_until 10 sh -c '! xdotool search --onlyvisible --name "^Font$" >/dev/null 2>&1' || fail "the font dialog did not close"
# The same menu as before, over the same picture, now in the new font.
open_menu_at 1368 231
shot 8-menu-new-font
xdotool key Escape
changed=$(compare -metric AE "$artifacts/story-7-menu.png" "$artifacts/story-8-menu-new-font.png" null: 2>&1 || true)
[ "$changed" -gt 0 ] 2>/dev/null || fail "the menu should look different in the new font (compare: $changed)"

step "9. the taskbar button off and on"
# The button belongs to the program's own window of no size: the taskbar's rules say whether it
# has one, and the X server whether that window is on the screen.
app_window_mapped() { [ -n "$(corvalo_windows "$pid" | awk '$2 <= 8 && $3 <= 8')" ]; }
taskbar_is() { [ "$(wine "$window_state" taskbar "$exe_win" </dev/null 2>/dev/null | tr -d '\r')" = "taskbar=$1" ]; }
button_shown() { taskbar_is 1 && app_window_mapped; }
button_hidden() { taskbar_is 0 && ! app_window_mapped; }
button_shown || fail "a first start should show the taskbar button"
open_menu_at 1368 231
choose_setting 5 "$artifacts/story-9-settings.png"
wait_until 5 button_hidden || fail "Show in taskbar did not take the button away"
has_setting 'Hide=0' || fail "the taskbar choice was not stored: $(settings)"
open_menu_at 1368 231
choose_setting 5
wait_until 5 button_shown || fail "Show in taskbar did not bring the button back"
has_setting 'Hide=1' || fail "the taskbar choice was not stored: $(settings)"
# Off again, to see that a new start keeps it off.
open_menu_at 1368 231
choose_setting 5
wait_until 5 button_hidden || fail "Show in taskbar did not take the button away again"

step "10. start with Windows on and off"
no_run_value || fail "a first start should not start with Windows: $(run_value)"
open_menu_at 1368 231
choose_setting 0
wait_until 5 run_value_is_this_exe || fail "Start with Windows should add this exe to the start list: $(run_value)"
open_menu_at 1368 231
open_settings_submenu
shot 10-start-with-windows
xdotool key Return
wait_until 5 no_run_value || fail "Start with Windows did not remove its entry: $(run_value)"

step "11. Quit, start again: everything comes back"
open_menu_at 1368 231
shot 11-menu-before
before_geometry=$(where)
xdotool key Escape
sleep 0.5
import -window root -crop "160x160+1288+151" +repage "$folder/picture-before.png"
quit_corvalo 1368 231
text=$(settings)
for line in 'FormLeft=1288' 'FormTop=151' 'Alpha=180' 'FontName=Tahoma' 'Size=14' 'Style=1' 'Hide=0' \
    "Marker=$folder_win\\write_marker.exe"; do
    grep -qxF "$line" <<<"$text" || fail "the settings file should hold $line: $text"
done
[ "$(head -c 2 "$folder/corvalo.bmp")" = BM ] || fail "the picture was not saved"
[ -s "$folder/corvalo.icons" ] || fail "the icon list was not saved"

start_corvalo
wait_until 5 geometry_is "$before_geometry" || fail "the window should come back at $before_geometry, not $(where)"
wait_until 5 opacity_is 180 || fail "the opacity should come back as 180, not $(opacity)"
button_hidden || fail "the taskbar button should stay off after a new start"
sleep 0.5
import -window root -crop "160x160+1288+151" +repage "$folder/picture-after.png"
shot 11-start-again
changed=$(compare -metric AE "$folder/picture-before.png" "$folder/picture-after.png" null: 2>&1 || true)
[ "$changed" = 0 ] || fail "the picture differs from before the Quit in $changed pixels"
open_menu_at 1368 231
shot 11-menu-after
changed=$(compare -metric AE "$artifacts/story-11-menu-before.png" "$artifacts/story-11-menu-after.png" null: 2>&1 || true)
[ "$changed" = 0 ] || fail "the menu (items, icons, font) differs from before the Quit in $changed pixels"
xdotool key Escape

step "12. a second start while it runs ends at once"
started=$(date +%s%N)
status=0
(cd "$folder" && exec timeout 30 wine corvalo.exe) </dev/null >/dev/null 2>&1 || status=$?
took=$((($(date +%s%N) - started) / 1000000))
echo "the second start ended after $took ms with exit code $status"
[ "$status" = 0 ] || fail "the second start should end with exit code 0, not $status"
[ "$took" -lt 5000 ] || fail "the second start took $took ms"
pictures=$(corvalo_windows | awk '$2 > 8 && $3 > 8' | wc -l)
[ "$pictures" = 1 ] || fail "there should be one picture window, not $pictures"
kill -0 "$pid" 2>/dev/null || fail "the running copy has ended"

quit_corvalo 1368 231
echo "1 passed, 0 failed"

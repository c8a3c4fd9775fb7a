#!/usr/bin/env bash
# The menu and the item editor in dark mode, as a user who chose it for apps has them
# (AppsUseLightTheme = 0): the menu's rows are dark, with no white left of the light menu, the
# editor's ground is dark, and both are pictured for the README; in light mode, the white rows
# and the light editor as ever.
set -euo pipefail
exe=$1 send_close=$2 artifacts=$3
source "$(dirname "$0")/session.sh"
mkdir -p "$artifacts"
folder=$(mktemp -d)
personalize='HKCU\Software\Microsoft\Windows\CurrentVersion\Themes\Personalize'
set_theme() {
    wine reg add "$personalize" /v AppsUseLightTheme /t REG_DWORD /d "$1" /f >/dev/null 2>&1
}
trap 'wine reg delete "$personalize" /v AppsUseLightTheme /f >/dev/null 2>&1; rm -rf "$folder"' EXIT
cp "$exe" "$folder/corvalo.exe"
printf '[ADMIN]\r\nFormLeft=200\r\nFormTop=100\r\n[MENU]\r\nNotepad=notepad.exe\r\nWeb=https://example.com\r\n' |
    iconv -f UTF-8 -t UTF-16LE | { printf '\xff\xfe'; cat; } >"$folder/corvalo.ini"

# Opens the menu in one theme and prints how many pixels of its first rows are of a colour, and
# how many are white.
pixels_in_menu() { # theme colour screenshot
    set_theme "$1"
    start_copy_in "$folder"
    [ -n "$window" ] || fail "theme $1: the picture window did not appear"
    sleep 0.5
    eval "$(xdotool getwindowgeometry --shell "$window")"
    # From elsewhere: a pointer already resting where the window appears sends it no move.
    xdotool mousemove 0 0
    # On the dog's face: from the second start on, the saved picture's see-through background
    # lets a click through to the desktop.
    open_menu_at "$((X + 100))" "$((Y + 120))"
    import -window root -crop "320x320+$X+$Y" +repage "$artifacts/$3"
    # The menu's top left corner is at the click: its rows lie below and to the right of it.
    local rows count white
    rows=$(import -window root -crop "80x40+$((X + 104))+$((Y + 124))" +repage txt:-)
    count=$(grep -c "$2" <<<"$rows" || true)
    white=$(grep -c '#FFFFFF' <<<"$rows" || true)
    # Then the item editor ("New empty item"): its ground in the palette's colour.
    choose_setting 1
    local editor ground=none
    editor=$(wait_for_editor "$window")
    if [ -n "$editor" ]; then
        sleep 0.5
        import -window "$editor" "$artifacts/editor-$3"
        ground=$(convert "$artifacts/editor-$3" -gravity southeast -crop 1x1+8+8 +repage txt:- | grep -o '#[0-9A-F]\{6\}')
        xdotool key Escape
        sleep 0.3
    fi
    echo "theme $1: the editor's ground is $ground" >&2
    close_copy "$send_close" || fail "theme $1: the program did not close"
    echo "$count $white $ground"
}

# Light: white launcher rows. Dark: the rows in the dark menu's grey, and not one white pixel.
read -r light _ light_ground < <(pixels_in_menu 1 '#FFFFFF' menu-light.png)
read -r dark white dark_ground < <(pixels_in_menu 0 '#2B2B2B' menu-dark.png)
echo "menu rows: light $light white pixels; dark $dark dark grey and $white white"
[ "$light" -gt 1000 ] || fail "the light menu should have white launcher rows ($light white pixels)"
[ "$dark" -gt 1000 ] || fail "the dark menu should have dark rows ($dark dark grey pixels)"
[ "$white" = 0 ] || fail "the dark menu's rows should hold no white pixel ($white)"
[ "$dark_ground" = '#202020' ] || fail "the dark editor's ground should be #202020, not $dark_ground"
[ "$light_ground" != '#202020' ] || fail "the light editor's ground should not be dark"
echo "1 passed, 0 failed"

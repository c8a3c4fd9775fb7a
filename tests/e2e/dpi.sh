#!/usr/bin/env bash
# The program on a screen of 144 dpi (150 %), as Wine plays one (its LogPixels setting): the
# built-in 256-pixel picture shows at 384, a stored position of 200,100 (in the units of a program
# that is not DPI aware) is on screen at 300,150, and the close writes 200,100 and the picture's
# 256-pixel size back. The menu is pictured at 100 % and at 150 %.
set -euo pipefail
exe=$1 send_close=$2 artifacts=$3
source "$(dirname "$0")/session.sh"
mkdir -p "$artifacts"
folder=$(mktemp -d)
set_dpi() {
    wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f >/dev/null 2>&1
}
trap 'set_dpi 96; rm -rf "$folder"' EXIT
cp "$exe" "$folder/corvalo.exe"
folder_win=$(winepath -w "$folder" 2>/dev/null)

write_settings() {
    printf '[ADMIN]\r\nFormLeft=200\r\nFormTop=100\r\n[MENU]\r\nNotepad=notepad.exe\r\nPictures=%s\r\nWeb=https://example.com\r\n' \
        "$folder_win" | iconv -f UTF-8 -t UTF-16LE | { printf '\xff\xfe'; cat; } >"$folder/corvalo.ini"
}

# One start at `dpi`: where the window is and how large, the menu's picture, and the close.
run_at() { # dpi expected-x expected-y expected-side screenshot
    set_dpi "$1"
    write_settings
    rm -f "$folder/corvalo.bmp"
    start_copy_in "$folder"
    [ -n "$window" ] || fail "$1 dpi: the picture window did not appear"
    sleep 0.5
    eval "$(xdotool getwindowgeometry --shell "$window")"
    echo "$1 dpi: window at $X,$Y size ${WIDTH}x$HEIGHT"
    [ "$X,$Y" = "$2,$3" ] || fail "$1 dpi: the window should be at $2,$3, not $X,$Y"
    [ "$WIDTH" = "$4" ] && [ "$HEIGHT" = "$4" ] || fail "$1 dpi: the window should be $4 wide, not $WIDTH"
    open_menu_at "$((X + 40))" "$((Y + 40))"
    import -window root -crop "${4}x${4}+$X+$Y" +repage "$artifacts/$5"
    xdotool key Escape
    sleep 0.3
    close_copy "$send_close" || fail "$1 dpi: the program did not close on request"
    local text
    text=$(settings_text "$folder/corvalo.ini")
    grep -qx 'FormLeft=200' <<<"$text" || fail "$1 dpi: FormLeft should stay 200: $text"
    grep -qx 'FormTop=100' <<<"$text" || fail "$1 dpi: FormTop should stay 100: $text"
    [ "$(od -An -tu4 -j18 -N4 "$folder/corvalo.bmp" | tr -d ' ')" = 256 ] ||
        fail "$1 dpi: the picture file should hold the picture at its 256 pixels"
}

run_at 96 200 100 256 menu-100.png
run_at 144 300 150 384 menu-150.png
echo "1 passed, 0 failed"

# Sourced by the scripts that drive Corvalo on an X display with xdotool.

# The visible "Corvalo" windows, of one process when a PID is given: one "id width height" a line.
corvalo_windows() {
    local id
    local search=(xdotool search --all --onlyvisible)
    [ -n "${1:-}" ] && search+=(--pid "$1")
    # The pattern comes last: xdotool takes it as the final argument.
    for id in $("${search[@]}" --name '^Corvalo$' 2>/dev/null); do
        eval "$(xdotool getwindowgeometry --shell "$id")"
        echo "$id $WIDTH $HEIGHT"
    done
}

# The visible picture window, of one process when a PID is given: the visible "Corvalo" window
# larger than the application's own zero-size window, which carries the taskbar button.
picture_window() {
    corvalo_windows "${1:-}" | awk '$2 > 8 && $3 > 8 { print $1; exit }'
}

# The same, waiting up to 20 seconds for it to appear; empty when it never does.
wait_for_picture_window() {
    local window=""
    for _ in $(seq 1 200); do
        window=$(picture_window "${1:-}")
        [ -n "$window" ] && break
        sleep 0.1
    done
    echo "$window"
}

# Opens the popup menu with a right click at a point of the picture.
open_menu_at() {
    xdotool mousemove "$1" "$2"
    sleep 0.2
    xdotool click 3
    sleep 0.8
}

# In the open menu, into the "Settings..." submenu (its first entry selected).
open_settings_submenu() {
    xdotool key Down Right
    sleep 0.5
}

# In the open menu, a command of "Settings..." by its place in the submenu: 0 Start with Windows,
# 1 New empty item, 2 New image, 3 Font, 4 Hotkey..., 5 Show in taskbar, 6 Quit. A screenshot of
# the open submenu goes to the file given second, if any.
choose_setting() {
    open_settings_submenu
    [ -n "${2:-}" ] && import -window root "$2"
    local step
    for ((step = 0; step < $1; step++)); do xdotool key Down; done
    xdotool key Return
}

# In the open menu, Settings... > Quit: into the submenu, up to its last entry. A screenshot of
# the open submenu goes to the file given, if any.
choose_quit() {
    open_settings_submenu
    [ -n "${1:-}" ] && import -window root "$1"
    xdotool key Up Return
}

# A drag with the left mouse button from one point to another, moved in steps as a hand does.
drag_mouse() { # from_x from_y to_x to_y
    local from_x=$1 from_y=$2 to_x=$3 to_y=$4 step
    xdotool mousemove "$from_x" "$from_y"
    sleep 0.2
    xdotool mousedown 1
    sleep 0.3
    for step in $(seq 1 10); do
        xdotool mousemove "$((from_x + (to_x - from_x) * step / 10))" "$((from_y + (to_y - from_y) * step / 10))"
        sleep 0.05
    done
    sleep 0.3
    xdotool mouseup 1
}

# Polls a command for up to the given seconds (tenths allowed) until it succeeds; false when it
# never does.
wait_until() { # seconds command...
    local tries
    tries=$(awk -v s="$1" 'BEGIN { print int(s * 10) }')
    shift
    for _ in $(seq 1 "$tries"); do
        "$@" && return 0
        sleep 0.1
    done
    "$@"
}

# The settings file beside an exe as text (it is UTF-16 with a byte-order mark).
settings_text() { # ini_file
    iconv -f UTF-16 -t UTF-8 "$1" 2>/dev/null | tr -d '\r'
}

# Starts the test drag source (tests/tools/drag_source_win.cpp) in a folder for a file and waits
# for its window (false when it never shows); its process id goes to drag_source_pid.
start_drag_source() { # folder drag_source.exe windows_file_name
    (cd "$1" && exec wine "$2" "$3" </dev/null >/dev/null 2>&1) &
    drag_source_pid=$!
    wait_until 20 xdotool search --onlyvisible --name '^Drag source$' >/dev/null 2>&1 || return 1
    sleep 0.5
}

# The item editor: a visible "Corvalo" window wider than 300 pixels other than the picture window
# given, waited for up to 10 seconds (or the whole seconds given); empty when it never opens.
wait_for_editor() { # picture_window [seconds]
    local editor=""
    for _ in $(seq 1 "$((${2:-10} * 10))"); do
        editor=$(corvalo_windows | awk -v picture="$1" '$1 != picture && $2 > 300 { print $1; exit }')
        [ -n "$editor" ] && break
        sleep 0.1
    done
    echo "$editor"
}

# After a drop onto the picture: waits for the item editor, Tabs from its target field to the
# caption, types the caption and presses Enter (ADD/UPDATE). Screenshots of the editor as it
# opened and as filled in go to the files given, if any. False when the editor never opens.
name_item_in_editor() { # picture_window caption [opened.png] [filled.png]
    [ -n "$(wait_for_editor "$1")" ] || return 1
    sleep 0.3
    [ -n "${3:-}" ] && import -window root "$3"
    xdotool key Tab
    xdotool type --delay 30 "$2"
    sleep 0.2
    [ -n "${4:-}" ] && import -window root "$4"
    xdotool key Return
}

# Waits up to 10 seconds for a process to end; false when it still runs.
wait_for_exit() {
    for _ in $(seq 1 100); do
        kill -0 "$1" 2>/dev/null || return 0
        sleep 0.1
    done
    ! kill -0 "$1" 2>/dev/null
}

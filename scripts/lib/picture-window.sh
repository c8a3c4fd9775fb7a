# Sourced by the scripts that drive Corvalo on an X display with xdotool.

# The visible picture window, of one process when a PID is given: the visible "Corvalo" window
# larger than the application's own zero-size window, which carries the taskbar button.
picture_window() {
    local id
    local search=(xdotool search --all --onlyvisible)
    [ -n "${1:-}" ] && search+=(--pid "$1")
    # The pattern comes last: xdotool takes it as the final argument.
    for id in $("${search[@]}" --name '^Corvalo$' 2>/dev/null); do
        eval "$(xdotool getwindowgeometry --shell "$id")"
        if [ "$WIDTH" -gt 8 ] && [ "$HEIGHT" -gt 8 ]; then
            echo "$id"
            return
        fi
    done
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

# In the open menu, Settings... > Quit: into the submenu, up to its last entry. A screenshot of
# the open submenu goes to the file given, if any.
choose_quit() {
    xdotool key Down Right
    sleep 0.5
    [ -n "${1:-}" ] && import -window root "$1"
    xdotool key Up Return
}

# Waits up to 10 seconds for a process to end; false when it still runs.
wait_for_exit() {
    for _ in $(seq 1 100); do
        kill -0 "$1" 2>/dev/null || return 0
        sleep 0.1
    done
    ! kill -0 "$1" 2>/dev/null
}

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

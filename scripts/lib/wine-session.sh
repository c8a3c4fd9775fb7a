# Sourced by the scripts that run Windows programs under Wine.
# wine_session_start PREFIX_DIR [own-display|no-display]
#   Uses a private Wine prefix, keeps one wineserver alive for the whole session (each program start
#   then costs ~0.1 s instead of seconds), and gives Wine a display: the caller's DISPLAY, or an
#   Xvfb of its own when there is none or when "own-display" is asked for (tests never use the
#   developer's screen). "no-display" uses Wine's null graphics driver instead: real windows,
#   messages and GDI, nothing on any screen, fastest for in-process window tests.
#   wine_session_stop ends only what wine_session_start began.

wine_session_xvfb_pid=""

wine_session_start() {
    local prefix_dir=$1 display_mode=${2:-}
    export WINEPREFIX=$prefix_dir WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
    mkdir -p "$WINEPREFIX"

    if [ "$display_mode" = no-display ]; then
        unset DISPLAY
    elif [ "$display_mode" = own-display ] || [ -z "${DISPLAY:-}" ]; then
        wine_session_start_display || return 1
    fi

    wine_session_start_server || return 1
    wine wineboot -i </dev/null >/dev/null 2>&1 ||
        { wine_session_fail "Wine could not prepare its prefix $WINEPREFIX."; return 1; }
    # Without a window manager, Wine's managed windows make every close wait about two seconds.
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f </dev/null >/dev/null 2>&1 ||
        { wine_session_fail "Wine did not take its window settings in $WINEPREFIX."; return 1; }
    # The graphics driver is chosen when the server's desktop starts, so a change needs a new server.
    local driver_key='HKCU\Software\Wine\Drivers'
    local wanted=x11
    [ "$display_mode" = no-display ] && wanted=null
    local current
    current=$(wine reg query "$driver_key" /v Graphics </dev/null 2>/dev/null | tr -d '\r' | awk '/Graphics/ {print $3}' || true)
    if [ "${current:-x11}" != "$wanted" ]; then
        if [ "$wanted" = null ]; then
            wine reg add "$driver_key" /v Graphics /d null /f </dev/null >/dev/null 2>&1 ||
                { wine_session_fail "Wine did not take the null graphics driver."; return 1; }
        else
            wine reg delete "$driver_key" /v Graphics /f </dev/null >/dev/null 2>&1 ||
                { wine_session_fail "Wine did not go back to its X11 graphics driver."; return 1; }
        fi
        wineserver -k >/dev/null 2>&1 || true
        wineserver -w >/dev/null 2>&1 || true
        wine_session_start_server || return 1
        wine wineboot </dev/null >/dev/null 2>&1 ||
            { wine_session_fail "Wine did not restart with the $wanted graphics driver."; return 1; }
    fi
}

# The persistent server must be serving before the first wine command: a wine that finds no server
# starts one of its own, and Debian's Wine gives each server a fresh random folder named in the
# prefix, so two starting at once can leave wine in a folder the losing server has just removed
# ("chdir to /tmp/wine-...: No such file or directory"), failing about one boot in fifteen beside
# another session. wineserver returns once its daemon holds the prefix's lock and socket; setsid -w
# waits for that and keeps the daemon out of our session, so the end of this shell cannot kill it.
wine_session_start_server() {
    setsid -w wineserver -p </dev/null >/dev/null 2>&1 ||
        { wine_session_fail "Wine's server did not start for $WINEPREFIX."; return 1; }
}

# Every failed step says what failed: the callers hide Wine's own output, so a bare non-zero status
# would end them without a word.
wine_session_fail() {
    echo "$1" >&2
}

# A virtual display of our own. Xvfb picks a free display number and writes it to the descriptor
# once it serves. One that exits first (another display server took that number at the same moment)
# or stays silent for 20 seconds is tried again, up to three times.
wine_session_start_display() {
    local attempt display_file waited
    for attempt in 1 2 3; do
        display_file=$(mktemp)
        Xvfb -displayfd 3 -screen 0 1920x1080x24 -nolisten tcp 3>"$display_file" >/dev/null 2>&1 &
        wine_session_xvfb_pid=$!
        waited=0
        while [ ! -s "$display_file" ] && [ $waited -lt 200 ] && kill -0 "$wine_session_xvfb_pid" 2>/dev/null; do
            sleep 0.1
            waited=$((waited + 1))
        done
        if [ -s "$display_file" ]; then
            export DISPLAY=":$(head -n1 "$display_file")"
            rm -f "$display_file"
            return 0
        fi
        rm -f "$display_file"
        kill "$wine_session_xvfb_pid" 2>/dev/null || true
        wait "$wine_session_xvfb_pid" 2>/dev/null || true
        wine_session_xvfb_pid=""
        echo "The virtual display did not start (attempt $attempt of 3)." >&2
    done
    wine_session_fail "No virtual display: Xvfb did not start in three attempts."
    return 1
}

wine_session_stop() {
    if [ -n "${WINEPREFIX:-}" ]; then
        wineserver -k >/dev/null 2>&1 || true
        wineserver -w >/dev/null 2>&1 || true
    fi
    if [ -n "$wine_session_xvfb_pid" ]; then
        kill "$wine_session_xvfb_pid" 2>/dev/null || true
        wait "$wine_session_xvfb_pid" 2>/dev/null || true
        wine_session_xvfb_pid=""
    fi
}

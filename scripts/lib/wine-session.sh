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
        local display_file
        display_file=$(mktemp)
        Xvfb -displayfd 3 -screen 0 1920x1080x24 -nolisten tcp 3>"$display_file" >/dev/null 2>&1 &
        wine_session_xvfb_pid=$!
        local waited=0
        while [ ! -s "$display_file" ] && [ $waited -lt 100 ]; do sleep 0.1; waited=$((waited + 1)); done
        export DISPLAY=":$(head -n1 "$display_file")"
        rm -f "$display_file"
    fi

    setsid nohup wineserver -p </dev/null >/dev/null 2>&1 &
    wine wineboot -i </dev/null >/dev/null 2>&1
    # Without a window manager, Wine's managed windows make every close wait about two seconds.
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f </dev/null >/dev/null 2>&1
    # The graphics driver is chosen when the server's desktop starts, so a change needs a new server.
    local driver_key='HKCU\Software\Wine\Drivers'
    local wanted=x11
    [ "$display_mode" = no-display ] && wanted=null
    local current
    # A new prefix has no such value yet: the query then fails, which is no error here.
    current=$( (wine reg query "$driver_key" /v Graphics </dev/null 2>/dev/null || true) | tr -d '\r' | awk '/Graphics/ {print $3}')
    if [ "${current:-x11}" != "$wanted" ]; then
        if [ "$wanted" = null ]; then
            wine reg add "$driver_key" /v Graphics /d null /f </dev/null >/dev/null 2>&1
        else
            wine reg delete "$driver_key" /v Graphics /f </dev/null >/dev/null 2>&1
        fi
        wineserver -k >/dev/null 2>&1 || true
        wineserver -w >/dev/null 2>&1 || true
        setsid nohup wineserver -p </dev/null >/dev/null 2>&1 &
        wine wineboot </dev/null >/dev/null 2>&1
    fi
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

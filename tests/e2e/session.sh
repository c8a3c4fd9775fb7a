# Sourced by every end-to-end test: they run inside the test command's Wine prefix and X display
# (and are skipped without them), drive Corvalo with the picture-window helpers, and end with
# FAIL and the reason at the first broken expectation.
if [ -z "${DISPLAY:-}" ] || [ -z "${WINEPREFIX:-}" ]; then
    echo "needs the X display and Wine prefix of the test command"
    exit 77
fi
source "$(dirname "${BASH_SOURCE[0]}")/../../scripts/lib/picture-window.sh"

fail() { echo "FAIL: $*" >&2; exit 1; }

# Starts the copy of corvalo.exe in a folder and waits for its picture window; sets pid and
# window (empty when none appeared).
start_copy_in() { # folder
    (cd "$1" && exec wine corvalo.exe </dev/null >/dev/null 2>&1) &
    pid=$!
    window=$(wait_for_picture_window)
}

# Asks the running copy to close through its close path (the final save runs) and waits for its
# end; false when the request found no window to close.
close_copy() { # send_close
    wine "$1" </dev/null >/dev/null 2>&1 || return 1
    wait "$pid" 2>/dev/null || true
}

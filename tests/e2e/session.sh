# Sourced by every end-to-end test: they run inside the test command's Wine prefix and X display
# (and are skipped without them), drive Corvalo with the picture-window helpers, and end with
# FAIL and the reason at the first broken expectation.
if [ -z "${DISPLAY:-}" ] || [ -z "${WINEPREFIX:-}" ]; then
    echo "needs the X display and Wine prefix of the test command"
    exit 77
fi
source "$(dirname "${BASH_SOURCE[0]}")/../../scripts/lib/picture-window.sh"

fail() { echo "FAIL: $*" >&2; exit 1; }

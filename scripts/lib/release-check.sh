# Sourced by scripts/release.sh. What a user gets from the archive must start on a machine that has
# nothing but Windows: the exe may import only Windows' own DLLs, and it must start, show its
# picture and close through its close path in a Wine prefix that has never seen a build of ours.
#
# check_release_exe EXE
#   Prints what it checked; returns non-zero on the first failure.

check_release_exe() {
    local exe=$1
    local root
    root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)

    # The same rule as the start_imports test: only the five DLLs a bare window loads anyway
    # before the first instruction; a missing runtime DLL (libstdc++, winpthread) fails here.
    cmake -DOBJDUMP=x86_64-w64-mingw32-objdump -DEXE="$exe" \
        -P "$root/tests/tools/check_start_imports.cmake" || return 1

    # A fresh prefix and display of its own, so nothing a test build left behind can help it.
    local work
    work=$(mktemp -d)
    (
        set -euo pipefail
        trap 'wine_session_stop; rm -rf "$work"' EXIT
        source "$root/scripts/lib/wine-session.sh"
        source "$root/scripts/lib/picture-window.sh"
        wine_session_start "$work/prefix" own-display
        mkdir "$work/app"
        cp "$exe" "$work/app/corvalo.exe"

        (cd "$work/app" && exec wine corvalo.exe </dev/null >"$work/app.out" 2>&1) &
        local pid=$!
        local window
        window=$(wait_for_picture_window)
        if [ -z "$window" ]; then
            echo "release check: the release exe showed no window in a fresh Wine prefix:" >&2
            cat "$work/app.out" >&2
            exit 1
        fi
        # Wine's taskkill without /f posts WM_CLOSE to the program's windows: the close button's
        # path, which runs the final save.
        sleep 0.5
        wine taskkill /im corvalo.exe </dev/null >/dev/null 2>&1 || true
        if ! wait_for_exit "$pid"; then
            echo "release check: the release exe did not end after its close request" >&2
            exit 1
        fi
        local status=0
        wait "$pid" || status=$?
        if [ "$status" -ne 0 ]; then
            echo "release check: the release exe ended with exit code $status" >&2
            exit 1
        fi
        for file in corvalo.ini corvalo.bmp corvalo.icons; do
            if [ ! -s "$work/app/$file" ]; then
                echo "release check: the close wrote no $file" >&2
                exit 1
            fi
        done
        echo "release check: the release exe started in a fresh Wine prefix, showed its picture" \
            "and closed cleanly through its close path"
    )
}

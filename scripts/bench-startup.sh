#!/usr/bin/env bash
# Start-up benchmark: the time from starting corvalo.exe under Wine to its first painted window,
# measured side by side, alternating run for run, with three floors that paint the same picture:
#   bare_window.exe                  a bare window, the least any launcher window pays;
#   bare_window_common_controls.exe  the same with the common controls loaded before the window,
#                                    which Corvalo leaves until its picture is on screen;
#   bare_window_program_dlls.exe     the same with every system DLL Corvalo loads before its
#                                    window, so the distance to Corvalo is Corvalo's own work.
# Prints median, min and max per exe and the ratio of each median to the bare window's.
#
#   scripts/bench-startup.sh [--self] [runs]      (default 15 runs each)
#
#   --self   measure bare_window.exe against a copy of itself instead of corvalo.exe: the ratio
#            then shows how far apart two identical programs land on this machine.
#
# Builds the Windows configuration in build/windows (configuring it when needed), uses a Wine
# prefix of its own in build/windows/bench-wineprefix (created on first use, about 10 s), and an
# Xvfb of its own when there is no DISPLAY. Both exes run from a fresh temporary folder, so
# Corvalo starts without the files a developer's own runs left beside build/windows/corvalo.exe
# (its first, warm-up start creates them; the measured starts then read them, as every start
# after the first does). Only what this script started is stopped at the end.
set -euo pipefail

runs=15
self=0
for arg in "$@"; do
    case $arg in
        --self) self=1 ;;
        '' | *[!0-9]*)
            echo "usage: $0 [--self] [runs]" >&2
            exit 1
            ;;
        *) runs=$arg ;;
    esac
done

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=$repo/build/windows

# --- Build --------------------------------------------------------------------------------------
if [[ ! -f $build/CMakeCache.txt ]]; then
    codecs=$("$repo/scripts/build-codecs.sh")
    (cd "$repo" && cmake --preset windows-cross -DCORVALO_WINDOWS_PREFIX="$codecs")
fi
cmake --build "$build" -j2 --target bare_window bare_window_common_controls bare_window_program_dlls \
    measure_startup
have_corvalo=0
if ((!self)); then
    if cmake --build "$build" -j2 --target corvalo; then
        [[ -f $build/corvalo.exe ]] && have_corvalo=1
    else
        echo "bench-startup: corvalo.exe does not build; measuring the bare window alone" >&2
    fi
fi

# One run at a time per build folder: two runs would share the prefix and its server. The prefix
# belongs to this script alone, so the server it stops at the end is its own.
exec 9>"$build/bench-startup.lock"
# Nothing Wine starts may inherit the lock, or a server left running would hold it after the run.
wine() { command wine "$@" 9>&-; }
wineserver() { command wineserver "$@" 9>&-; }
if ! flock -n 9; then
    echo "bench-startup: another run is using $build" >&2
    exit 1
fi

# --- Clean-up of what this run starts ------------------------------------------------------------
export WINEPREFIX=$build/bench-wineprefix
export WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
work=$(mktemp -d "${TMPDIR:-/tmp}/corvalo-startup.XXXXXX")
xvfb_pid=
server_started=0
cleanup() {
    if ((server_started)); then
        wineserver -k >/dev/null 2>&1 || true
        wineserver -w >/dev/null 2>&1 || true
    fi
    if [[ -n $xvfb_pid ]]; then
        kill "$xvfb_pid" 2>/dev/null || true
        wait "$xvfb_pid" 2>/dev/null || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# --- Display -------------------------------------------------------------------------------------
if [[ -z ${DISPLAY:-} ]]; then
    # Xvfb picks a free display and writes its number to fd 3 once it accepts clients.
    Xvfb -displayfd 3 -screen 0 1920x1080x24 -nolisten tcp 3>"$work/display" \
        </dev/null >/dev/null 2>&1 &
    xvfb_pid=$!
    for ((i = 0; i < 100; i++)); do
        [[ -s $work/display ]] && break
        kill -0 "$xvfb_pid" 2>/dev/null || break
        sleep 0.1
    done
    if [[ ! -s $work/display ]]; then
        echo "bench-startup: Xvfb did not start" >&2
        exit 1
    fi
    DISPLAY=:$(head -n 1 "$work/display")
    export DISPLAY
fi

# --- Wine ----------------------------------------------------------------------------------------
# A persistent server: otherwise it ends after every program and each start pays for a new one.
mkdir -p "$WINEPREFIX"
server_started=1
# The server must not inherit the lock: it would hold it after this script ends.
# Serving before the first wine: a wine that finds no server starts a second one, and the two race.
setsid -w wineserver -p </dev/null >/dev/null 2>&1 9>&-
wine wineboot -i </dev/null >/dev/null 2>&1
if [[ -n $xvfb_pid ]]; then
    # No window manager on Xvfb: unmanaged windows close at once instead of after a 2 s wait.
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f \
        </dev/null >/dev/null 2>&1
fi

# --- Measure -------------------------------------------------------------------------------------
run_dir=$work/run
mkdir -p "$run_dir"
# Both run as shipped: without the debug information of the development build.
strip_tool=x86_64-w64-mingw32-strip
cp "$build/bench/startup/bare_window.exe" "$run_dir/"
"$strip_tool" "$run_dir/bare_window.exe"
programs=(bare_window.exe CorvaloBareWindow)
# The same window with the common controls loaded at start, as Corvalo needs them.
cp "$build/bench/startup/bare_window_common_controls.exe" "$run_dir/"
"$strip_tool" "$run_dir/bare_window_common_controls.exe"
programs+=(bare_window_common_controls.exe CorvaloBareWindow)
# ... and with every system DLL Corvalo imports loaded as well: what is left is Corvalo's own work.
cp "$build/bench/startup/bare_window_program_dlls.exe" "$run_dir/"
"$strip_tool" "$run_dir/bare_window_program_dlls.exe"
programs+=(bare_window_program_dlls.exe CorvaloBareWindow)
if ((have_corvalo)); then
    cp "$build/corvalo.exe" "$run_dir/"
    "$strip_tool" "$run_dir/corvalo.exe"
    programs+=(corvalo.exe CorvaloMainWindow)
else
    if ((!self)); then
        echo "bench-startup: no corvalo.exe; measuring the bare window against a copy of itself"
    fi
    cp "$build/bench/startup/bare_window.exe" "$run_dir/bare_window_copy.exe"
    programs+=(bare_window_copy.exe CorvaloBareWindow)
fi

run_dir_win=$(wine winepath -w "$run_dir" 2>/dev/null | tr -d '\r')
args=()
for ((i = 0; i < ${#programs[@]}; i += 2)); do
    args+=("$run_dir_win\\${programs[i]}" "${programs[i + 1]}")
done

# The machine is shared: the load around the run says how far to trust the absolute figures
# (the ratio is the figure to compare).
echo "$(wine --version) on $(nproc) cores, display $DISPLAY$([[ -n $xvfb_pid ]] && echo ' (Xvfb)')"
echo "load average before: $(cut -d ' ' -f 1-3 /proc/loadavg)"
wine "$build/bench/startup/measure_startup.exe" --cwd "$run_dir_win" "$runs" "${args[@]}" \
    </dev/null
echo "load average after:  $(cut -d ' ' -f 1-3 /proc/loadavg)"

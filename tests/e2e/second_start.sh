#!/usr/bin/env bash
# A second start of the program while it runs, on a display: the second start ends at once with
# exit code 0, maps no window on the screen and leaves every file of the folder as it was; the
# running copy comes back from minimised to the front. A copy in another folder runs beside it.
# After the running copy has closed, the next start runs normally, also right after its Quit.
set -euo pipefail
exe=$1 send_close=$2 window_state=$3 artifacts=$4
source "$(dirname "$0")/session.sh"
mkdir -p "$artifacts"
folder=$(mktemp -d)
other=$(mktemp -d)
events=$(mktemp)
xev_pid=""
cleanup() {
    [ -n "$xev_pid" ] && kill "$xev_pid" 2>/dev/null
    rm -rf "$folder" "$other" "$events"
}
trap cleanup EXIT
cp "$exe" "$folder/corvalo.exe"
cp "$exe" "$other/corvalo.exe"
program=$(winepath -w "$folder/corvalo.exe" 2>/dev/null)

start_copy() { # folder [arguments...]; prints the process id
    local dir=$1
    shift
    (cd "$dir" && exec wine corvalo.exe "$@" </dev/null >/dev/null 2>&1) &
    echo $!
}

wait_for_end() {
    local pid
    for pid in "$@"; do
        for _ in $(seq 1 100); do
            kill -0 "$pid" 2>/dev/null || break
            sleep 0.1
        done
        ! kill -0 "$pid" 2>/dev/null || fail "process $pid did not end"
    done
}

state() { wine "$window_state" report "$program" </dev/null 2>/dev/null | tr -d '\r'; }

snapshot() { (cd "$folder" && find . -type f -print0 | sort -z | xargs -0 sha256sum); }

first=$(start_copy "$folder")
first_window=$(wait_for_picture_window "$first")
[ -n "$first_window" ] || fail "the first copy did not show its picture"
beside=$(start_copy "$other")
[ -n "$(wait_for_picture_window "$beside")" ] || fail "a copy in another folder did not run beside it"
sleep 0.5

# The user minimises the first copy and works elsewhere.
wine "$window_state" minimize "$program" </dev/null >/dev/null 2>&1 || fail "could not minimise"
echo "before the second start: $(state)"
[ "$(state)" = "iconic=1 foreground=0" ] || fail "the first copy should be minimised and behind"
import -window root "$artifacts/second-start-before.png"
before=$(snapshot)

# Every window the X server creates or maps meanwhile is recorded.
xev -root -event substructure >"$events" 2>&1 &
xev_pid=$!
sleep 0.5
started=$(date +%s%N)
status=0
(cd "$folder" && exec timeout 30 wine corvalo.exe "C:\\notes\\today.txt" "two words") \
    </dev/null >/dev/null 2>&1 || status=$?
ended=$(date +%s%N)
sleep 0.5
kill "$xev_pid"
wait "$xev_pid" 2>/dev/null || true
xev_pid=""
echo "the second start ended after $(((ended - started) / 1000000)) ms with exit code $status"
[ "$status" = 0 ] || fail "the second start should end with exit code 0, not $status"

# Windows created while the second start ran are its own; none of them may reach the screen.
created=$(awk '/^CreateNotify/ {getline; if (match($0, /window 0x[0-9a-f]+/)) print substr($0, RSTART + 7, RLENGTH - 7)}' "$events" | sort -u)
mapped=$(awk '/^MapNotify/ {getline; if (match($0, /window 0x[0-9a-f]+/)) print substr($0, RSTART + 7, RLENGTH - 7)}' "$events" | sort -u)
echo "windows created meanwhile: $(echo $created), mapped: $(echo $mapped)"
shown=$(comm -12 <(echo "$created") <(echo "$mapped") | grep . || true)
[ -z "$shown" ] || fail "the second start showed windows: $shown"

[ "$(snapshot)" = "$before" ] || fail "the second start changed the folder"
sleep 0.5
echo "after the second start: $(state)"
[ "$(state)" = "iconic=0 foreground=1" ] || fail "the first copy should be restored and in front"
[ "$(picture_window "$first")" = "$first_window" ] || fail "the first copy's picture is gone"
kill -0 "$first" 2>/dev/null || fail "the first copy has ended"
import -window root "$artifacts/second-start-after.png"

# Both copies close normally; then the next start is a first copy again.
wine "$send_close" </dev/null >/dev/null 2>&1 || fail "a copy did not close on request"
wine "$send_close" </dev/null >/dev/null 2>&1 || fail "a copy did not close on request"
wait_for_end "$first" "$beside"
[ -s "$folder/corvalo.ini" ] || fail "the first copy's final save is missing"
# A large picture from here on, so that every close's save takes a moment.
convert -size 1800x1000 gradient:navy-orange "BMP3:$folder/corvalo.bmp"
next=$(start_copy "$folder")
[ -n "$(wait_for_picture_window "$next")" ] || fail "the next start after the close did not run"

# A restart right after Quit, with a large picture so that the close's save takes a moment: the
# copy that is closing no longer counts as the running one, and the new start waits for it to end
# and runs. Three times over, as users do it.
# The Quit is asked for first and the start follows at once, as a user's Quit and start come one
# after the other (a start that came first would rightly bring the running copy forward).
for round in 1 2 3; do
    closing=$next
    wine "$send_close" /post </dev/null >/dev/null 2>&1 || fail "round $round: the copy was not asked to close"
    next=$(start_copy "$folder")
    wait_for_end "$closing"
    [ -n "$(wait_for_picture_window "$next")" ] || fail "round $round: nothing runs after a restart right after Quit"
    echo "round $round: the restart runs"
done
[ "$(od -An -tu4 -j18 -N4 "$folder/corvalo.bmp" | tr -d ' ')" -gt 1000 ] || fail "the large picture was not kept"
wine "$send_close" </dev/null >/dev/null 2>&1 || fail "the last restart did not close on request"
wait_for_end "$next"
echo "1 passed, 0 failed"

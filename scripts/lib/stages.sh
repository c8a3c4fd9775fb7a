# Sourced by scripts/test.sh: each stage prints its name when it starts and its time when it ends,
# and the end of the run (success or failure) prints a table of every stage's time and the total,
# so a slow stage is seen at once.
#   stage NAME      ends the running stage and starts the next
#   stages_done     ends the last stage (call it once everything passed)
#   stages_summary  prints the table (an EXIT trap); a stage still running is marked as failed
#   stage_in_background NAME FUNCTION [NICENESS]
#                   runs the function in the background, by default at the lowest priority
#                   (niceness 19), its output kept until stage_join_background prints it (one such
#                   stage at a time)
#   stage_join_background
#                   waits for it, prints its output and time, and fails when it failed

stages_names=()
stages_seconds=()
stages_current=""
stages_started=0
stages_run_started=$SECONDS
stages_passed=0
stages_background_pid=""

stages_format() { printf '%d:%02d' $(($1 / 60)) $(($1 % 60)); }

stages_end() {
    [ -n "$stages_current" ] || return 0
    local took=$((SECONDS - stages_started))
    stages_names+=("$stages_current")
    stages_seconds+=("$took")
    echo "-- $stages_current: $(stages_format "$took")"
    stages_current=""
}

stage() {
    stages_end
    stages_current=$1
    stages_started=$SECONDS
    echo "== $1 =="
}

stages_done() {
    stages_end
    stages_passed=1
}

stage_in_background() {
    stages_background_name=$1
    stages_background_log=$(mktemp)
    stages_background_started=$SECONDS
    local niceness=${3:-19}
    local priority="at the same priority"
    [ "$niceness" -gt 0 ] && priority="below the tests' priority"
    echo "== $1: in the background, $priority (its output follows when it ends) =="
    # A process group of its own, so that a run that stops early can stop all of it.
    set -m
    (
        [ "$niceness" -gt 0 ] && { renice -n "$niceness" -p "$BASHPID" >/dev/null 2>&1 || true; }
        "$2"
    ) >"$stages_background_log" 2>&1 </dev/null &
    stages_background_pid=$!
    set +m
}

stage_join_background() {
    stage "Waiting for: $stages_background_name"
    local status=0
    wait "$stages_background_pid" || status=$?
    stages_background_pid=""
    local took=$((SECONDS - stages_background_started))
    cat "$stages_background_log"
    rm -f "$stages_background_log"
    stages_end
    if [ "$status" -ne 0 ]; then
        stages_current="$stages_background_name (in the background)"
        stages_started=$stages_background_started
        echo "$stages_background_name failed (exit code $status)" >&2
        return "$status"
    fi
    stages_names+=("$stages_background_name (in the background)")
    stages_seconds+=("$took")
    echo "-- $stages_background_name: $(stages_format "$took") (in the background)"
}

stages_summary() {
    if [ -n "$stages_background_pid" ]; then
        # The run stopped before the background stage ended: it goes too, its output shown.
        kill -- "-$stages_background_pid" 2>/dev/null || kill "$stages_background_pid" 2>/dev/null || true
        wait "$stages_background_pid" 2>/dev/null || true
        tail -n 40 "$stages_background_log" 2>/dev/null | sed 's/^/  (background) /'
        rm -f "$stages_background_log"
        stages_names+=("$stages_background_name (in the background, stopped)")
        stages_seconds+=("$((SECONDS - stages_background_started))")
    fi
    local failed=$stages_current
    [ -n "$failed" ] && stages_names+=("$failed (FAILED)") &&
        stages_seconds+=("$((SECONDS - stages_started))")
    stages_current=""
    echo
    echo "Stage times:"
    local i
    for i in "${!stages_names[@]}"; do
        printf '  %6s  %s\n' "$(stages_format "${stages_seconds[$i]}")" "${stages_names[$i]}"
    done
    printf '  %6s  %s\n' "$(stages_format $((SECONDS - stages_run_started)))" \
        "in all$([ "$stages_passed" = 1 ] && echo ", every test passed" || echo ", FAILED")"
}

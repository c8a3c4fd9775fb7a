# Sourced by scripts/test.sh: each stage prints its name when it starts and its time when it ends,
# and the end of the run (success or failure) prints a table of every stage's time and the total,
# so a slow stage is seen at once.
#   stage NAME      ends the running stage and starts the next
#   stages_done     ends the last stage (call it once everything passed)
#   stages_summary  prints the table (an EXIT trap); a stage still running is marked as failed
#   stage_in_background NAME FUNCTION [NICENESS]
#                   runs the function in the background, by default at the lowest priority
#                   (niceness 19), its output kept until stage_join_background prints it; several
#                   may run at once
#   stage_join_background NAME
#                   waits for that one, prints its output and time, and fails when it failed

stages_names=()
stages_seconds=()
stages_current=""
stages_started=0
stages_run_started=$SECONDS
stages_passed=0
declare -A stages_background_pids=() stages_background_logs=() stages_background_starts=()

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
    local name=$1 niceness=${3:-19}
    local log
    log=$(mktemp)
    stages_background_logs[$name]=$log
    stages_background_starts[$name]=$SECONDS
    local priority="at the same priority"
    [ "$niceness" -gt 0 ] && priority="below the tests' priority"
    echo "== $name: in the background, $priority (its output follows when it ends) =="
    # A process group of its own, so that a run that stops early can stop all of it.
    set -m
    # The stage's time is its own, not the time until it is joined: the outer shell notes when
    # the function ended, whatever traps the function sets in its own shell.
    (
        trap 'echo "$SECONDS" >"$log.ended"' EXIT
        [ "$niceness" -gt 0 ] && { renice -n "$niceness" -p "$BASHPID" >/dev/null 2>&1 || true; }
        ("$2")
    ) >"$log" 2>&1 </dev/null &
    stages_background_pids[$name]=$!
    set +m
}

stage_join_background() {
    local name=$1
    stage "Waiting for: $name"
    local status=0
    wait "${stages_background_pids[$name]}" || status=$?
    unset -v 'stages_background_pids[$name]'
    local started=${stages_background_starts[$name]} log=${stages_background_logs[$name]}
    local ended=$SECONDS
    [ -s "$log.ended" ] && ended=$(cat "$log.ended")
    local took=$((ended - started))
    cat "$log"
    rm -f "$log" "$log.ended"
    stages_end
    if [ "$status" -ne 0 ]; then
        stages_current="$name (in the background)"
        stages_started=$started
        echo "$name failed (exit code $status)" >&2
        return "$status"
    fi
    stages_names+=("$name (in the background)")
    stages_seconds+=("$took")
    echo "-- $name: $(stages_format "$took") (in the background)"
}

stages_summary() {
    local name pid
    for name in "${!stages_background_pids[@]}"; do
        # The run stopped before this background stage ended: it goes too, its output shown.
        pid=${stages_background_pids[$name]}
        kill -- "-$pid" 2>/dev/null || kill "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
        tail -n 40 "${stages_background_logs[$name]}" 2>/dev/null | sed 's/^/  (background) /'
        rm -f "${stages_background_logs[$name]}" "${stages_background_logs[$name]}.ended"
        stages_names+=("$name (in the background, stopped)")
        stages_seconds+=("$((SECONDS - ${stages_background_starts[$name]}))")
    done
    stages_background_pids=()
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

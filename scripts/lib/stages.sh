# Sourced by scripts/test.sh: each stage prints its name when it starts and its time when it ends,
# and the end of the run (success or failure) prints a table of every stage's time and the total,
# so a slow stage is seen at once.
#   stage NAME      ends the running stage and starts the next
#   stages_done     ends the last stage (call it once everything passed)
#   stages_summary  prints the table (an EXIT trap); a stage still running is marked as failed

stages_names=()
stages_seconds=()
stages_current=""
stages_started=0
stages_run_started=$SECONDS
stages_passed=0

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

stages_summary() {
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

#!/usr/bin/env bash
# Fuzzes every reader of outside data with libFuzzer (clang, AddressSanitizer and
# UndefinedBehaviorSanitizer), one target after the other, then prints a table of targets,
# executions and findings.
#
#   scripts/fuzz.sh [seconds-per-target] [target...]     (default: 60 seconds, every target)
#
# Each target's growing corpus stays in build/fuzz/corpus/<target>, starting from the generated
# seeds. A finding (crash, sanitizer report, broken property, timeout, out of memory) is written to
# fuzz/crashers/<target>/, where the test command replays it: fix it at its root and commit it.
# CORVALO_FUZZ_RUNS=<n> also stops each target after n executions; CORVALO_FUZZ_TIMEOUT sets the
# longest time one input may take (default 5 seconds).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
seconds=${1:-60}
shift || true

scripts/install-deps.sh
build=build/fuzz
cmake --preset fuzz -B "$build" >/dev/null
cmake --build "$build" -j "$(nproc)" >/dev/null

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
    for exe in "$build"/fuzz/*_fuzzer; do
        name=$(basename "$exe")
        targets+=("${name%_fuzzer}")
    done
fi

options=(-max_total_time="$seconds" -rss_limit_mb=2048 -timeout="${CORVALO_FUZZ_TIMEOUT:-5}"
         -print_final_stats=1)
if [ -n "${CORVALO_FUZZ_RUNS:-}" ]; then
    options+=(-runs="$CORVALO_FUZZ_RUNS")
fi

report=()
total_findings=0
mkdir -p "$build/logs"
for target in "${targets[@]}"; do
    exe="$build/fuzz/${target}_fuzzer"
    [ -x "$exe" ] || { echo "No fuzz target $target" >&2; exit 2; }
    corpus="$build/corpus/$target"
    crashers="fuzz/crashers/$target"
    log="$build/logs/$target.log"
    mkdir -p "$corpus" "$crashers"
    before=$(find "$crashers" -type f | wc -l)
    echo "== $target: up to $seconds s (log: $log)"
    "$exe" "${options[@]}" -artifact_prefix="$crashers/" "$corpus" "$build/fuzz/seeds/$target" \
        >"$log" 2>&1 || true
    after=$(find "$crashers" -type f | wc -l)
    rmdir "$crashers" 2>/dev/null || true  # no empty folders in the tree
    executions=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
    findings=$((after - before))
    total_findings=$((total_findings + findings))
    report+=("$(printf '%-20s %14s %9d' "$target" "${executions:-?}" "$findings")")
done

echo
printf '%-20s %14s %9s\n' target executions findings
printf '%s\n' "${report[@]}"
if [ "$total_findings" -ne 0 ]; then
    echo "Findings are in fuzz/crashers/<target>/; the logs in $build/logs/ tell what each is."
    exit 1
fi

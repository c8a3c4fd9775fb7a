#!/usr/bin/env bash
# The benchmark command: runs every benchmark of the project, each figure beside its peer measured
# in the same run, and ends with one table of them all (ratio and target).
#
#   scripts/bench.sh [--quick]     (--quick: fewer rounds, for a first look; about 3 minutes)
#
#  - the resampler natively (Release, one core) beside Pillow (Debian's python3-pil);
#  - picture file loading beside the bare codec decode, natively and under Wine;
#  - the launcher menu's rebuilding and opening beside the bare platform calls, under Wine;
#  - the file icon lookup beside the shell calls it has to make, under Wine;
#  - the start-up to the first paint beside a bare window with the same picture, under Wine;
#  - how long the window keeps a message waiting in its first seconds with many items (also with
#    one on a network share nobody answers for), and its memory once idle, beside a bare window's.
# Each part's whole report is kept in build/bench-results/<part>.txt. The machine may be shared:
# the load average is printed around each part, and the ratios are the figures to compare.
set -uo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
results=$root/build/bench-results
python=/usr/bin/python3  # Debian's, which has python3-pil
quick=0
[[ ${1:-} == --quick ]] && quick=1

"$root/scripts/install-deps.sh" || exit 1
mkdir -p "$results"
rm -f "$results"/*.txt

failed=()
part() {
    local name=$1
    shift
    echo "== $name (load average $(cut -d ' ' -f 1-3 /proc/loadavg)) =="
    if ! "$@" 2>&1 | tee "$results/$name.txt"; then
        failed+=("$name")
    fi
}

resample() {
    local build=$root/build/bench
    (cd "$root" && cmake --preset bench -B "$build" >/dev/null) &&
        cmake --build "$build" -j2 --target resample_bench || return 1
    # Ours and Pillow's run one after the other, so both meet the same load.
    taskset -c 0 "$build/bench/resample_bench" --benchmark_repetitions=$((quick ? 3 : 5)) \
        --benchmark_report_aggregates_only=true --benchmark_out="$build/resample_bench.json" \
        --benchmark_out_format=json >"$build/resample_bench.txt" &&
        taskset -c 0 "$python" "$root/bench/pillow_resample.py" --json \
            >"$build/pillow_resample.json" &&
        "$python" "$root/bench/resample_report.py" "$build/resample_bench.json" \
            "$build/pillow_resample.json"
}

part resample resample
part pictures "$root/bench/pictures/run.sh"
part menu "$root/bench/menu/run.sh" $((quick ? 200 : 1000))
part shell "$root/bench/shell/run.sh" $((quick ? 200 : 1000))
part startup "$root/scripts/bench-startup.sh" $((quick ? 7 : 15))
part responsiveness "$root/bench/responsiveness/run.sh" $((quick ? 200 : 1000)) 8

echo
echo "== Every figure beside its peer =="
"$python" "$root/bench/figure_table.py" "$results"/{startup,responsiveness,pictures,resample,menu,shell}.txt
if ((${#failed[@]})); then
    echo "failed parts: ${failed[*]} (their reports are in $results)" >&2
    exit 1
fi

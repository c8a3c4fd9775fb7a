#!/usr/bin/env bash
# The benchmark command: builds the native benchmarks in Release (build/bench) and prints the
# resampler's speed beside Pillow's for the same pictures.
# Needs libbenchmark-dev and Debian's python3-pil (run with /usr/bin/python3, not a python3 that
# another installation put first on PATH).
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build/bench"
python=/usr/bin/python3

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCORVALO_BENCHMARKS=ON \
    -DCORVALO_TESTS=OFF >/dev/null
cmake --build "$build" -j2 --target resample_bench

# Ours and Pillow's run one after the other, so both meet the same load on a shared machine.
echo "Running the resampler benchmark and Pillow's (about a minute)..."
"$build/bench/resample_bench" --benchmark_repetitions=5 --benchmark_report_aggregates_only=true \
    --benchmark_out="$build/resample_bench.json" --benchmark_out_format=json \
    >"$build/resample_bench.txt"
"$python" "$root/bench/pillow_resample.py" --json >"$build/pillow_resample.json"
"$python" "$root/bench/resample_report.py" "$build/resample_bench.json" \
    "$build/pillow_resample.json"
echo "All of Google Benchmark's figures: $build/resample_bench.txt"

# Picture file loading beside the bare codec libraries, natively and under Wine.
"$root/bench/pictures/run.sh"

# The launcher menu's building and opening beside the bare platform calls, under Wine on Xvfb.
"$root/bench/menu/run.sh"

#!/usr/bin/env bash
# Runs one fuzz target over its seed inputs and its kept crashers, then fuzzes briefly from the
# seeds with a fixed random seed, so a run is repeatable. Any crash, sanitizer report, broken
# property, timeout or excessive memory use fails.
#   replay.sh <target exe> <seed folder> <crasher folder>
set -euo pipefail
shopt -s nullglob  # an empty crasher folder adds nothing
target=$1
seeds=$2
crashers=$3
runs=${CORVALO_FUZZ_REPLAY_RUNS:-2000}

options=(-rss_limit_mb=2048 -timeout=10 -print_final_stats=0)
inputs=("$seeds"/*)
if [ -d "$crashers" ]; then
    inputs+=("$crashers"/*)
fi
# Each file named on the command line runs once, without fuzzing.
"$target" "${options[@]}" "${inputs[@]}"

# The short fuzzing run keeps what it finds in a scratch corpus, never in the seed folder.
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
"$target" "${options[@]}" -seed=1 -runs="$runs" "$scratch" "$seeds"

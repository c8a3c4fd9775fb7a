#!/usr/bin/python3
"""Prints the resampler benchmark's figures beside Pillow's for the same work.

Arguments: the Google Benchmark JSON file of resample_bench and the JSON of pillow_resample.py.
"""

import json
import re
import sys

# Our case, Pillow's cases that do the same work.
PAIRS = [
    ("4000x3000->1000x750",
     ["4000x3000->1000x750 reduce(4)", "4000x3000->1000x750 resize BOX"]),
    ("500x375->510x383", ["500x375->510x383 resize BOX"]),
]


def our_medians(path):
    with open(path) as f:
        data = json.load(f)
    medians = {}
    for b in data["benchmarks"]:
        if b.get("run_type") == "aggregate" and b.get("aggregate_name") != "median":
            continue
        name = re.sub(r"/(real_time|iterations:\d+)", "", b.get("run_name", b["name"]))
        ms = b["real_time"] if b.get("time_unit") == "ms" else b["real_time"] / 1e6
        medians[name] = {"ms": ms, "src_Mpx/s": b["src_Mpx/s"]}
    return medians


def main():
    ours = our_medians(sys.argv[1])
    with open(sys.argv[2]) as f:
        pillow = json.load(f)
    print()
    print("Area-averaging resampler, 24 bpp, one thread (median; source megapixels per second)")
    print(f"{'case':52} {'ms':>9} {'Mpx/s':>9}")
    for case, theirs in PAIRS:
        for kind in ("into", "StretchHalftone"):
            name = f"{kind}/{case}"
            if name in ours:
                r = ours[name]
                print(f"{'Corvalo ' + name:52} {r['ms']:9.3f} {r['src_Mpx/s']:9.1f}")
        for name in theirs:
            r = pillow["cases"][name]
            print(f"{'Pillow ' + pillow['pillow'] + ' ' + name:52} {r['ms']:9.3f} "
                  f"{r['src_Mpx/s']:9.1f}")
        print()
    # The table lines of scripts/bench.sh: ours beside Pillow's fastest way to the same result.
    for case, theirs in PAIRS:
        name = f"into/{case}"
        if name not in ours:
            continue
        best = min(theirs, key=lambda n: pillow["cases"][n]["ms"])
        print(f"FIGURE\tResample {case}, 24 bpp\t{ours[name]['ms']:.3f}\t"
              f"{pillow['cases'][best]['ms']:.3f}\tPillow {best.split(' ', 1)[1]}\tms\t<=1.0")
    large = f"into/{PAIRS[0][0]}"
    if large in ours:
        print(f"FIGURE\tResample {PAIRS[0][0]}, source speed\t{ours[large]['src_Mpx/s']:.1f}\t"
              f"\t-\tMpx/s\t>=1000")
    others = [n for n in ours if not any(n.endswith("/" + c) for c, _ in PAIRS)]
    if others:
        print("Other cases")
        for name in others:
            r = ours[name]
            print(f"{'Corvalo ' + name:52} {r['ms']:9.3f} {r['src_Mpx/s']:9.1f}")


if __name__ == "__main__":
    main()

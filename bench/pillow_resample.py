#!/usr/bin/python3
"""Pillow's speed on the resampler benchmark's cases, in source megapixels per second.

Runs with Debian's /usr/bin/python3 (package python3-pil). Prints one line per case, or JSON
with --json: {"case name": {"ms": median milliseconds, "src_Mpx/s": rate}}.
"""

import json
import os
import statistics
import sys
import time

from PIL import Image


def photo(width, height):
    # Content does not change the speed; random bytes are as good as a photograph.
    return Image.frombytes("RGB", (width, height), os.urandom(width * height * 3))


def median_seconds(action, min_total=1.0, min_runs=5):
    action()  # warm up: first touches of memory are not what is measured
    times = []
    start = time.perf_counter()
    while len(times) < min_runs or time.perf_counter() - start < min_total:
        t0 = time.perf_counter()
        action()
        times.append(time.perf_counter() - t0)
    return statistics.median(times)


def main():
    big = photo(4000, 3000)
    small = photo(500, 375)
    cases = {
        "4000x3000->1000x750 reduce(4)": (big, lambda: big.reduce(4)),
        "4000x3000->1000x750 resize BOX": (big, lambda: big.resize((1000, 750), Image.BOX)),
        "500x375->510x383 resize BOX": (small, lambda: small.resize((510, 383), Image.BOX)),
    }
    results = {}
    for name, (source, action) in cases.items():
        seconds = median_seconds(action)
        megapixels = source.width * source.height / 1e6
        results[name] = {"ms": seconds * 1e3, "src_Mpx/s": megapixels / seconds}
    if "--json" in sys.argv[1:]:
        json.dump({"pillow": Image.__version__, "cases": results}, sys.stdout, indent=1)
        print()
    else:
        print(f"Pillow {Image.__version__}")
        for name, r in results.items():
            print(f"{name:34} {r['ms']:8.3f} ms {r['src_Mpx/s']:9.1f} Mpx/s")


if __name__ == "__main__":
    main()

#!/usr/bin/env bash
# Picture file loading beside the bare codec decode: natively (Release, one core), then the
# Windows build of the same program under Wine; prints the figures and the ratios.
# Usage: bench/pictures/run.sh   (from scripts/bench.sh, or alone)
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
native=$root/build/bench
windows=$root/build/windows-bench
samples=$native/picture-samples
mkdir -p "$samples"

(cd "$root" && cmake --preset bench -B "$native" >/dev/null)
cmake --build "$native" -j2 --target picture_load_timing
echo "Picture loading, native, one core (first run writes the 6000 x 4000 samples)..."
taskset -c 0 "$native/bench/picture_load_timing" "$samples" 5 >"$native/picture_load.txt"

codecs=$("$root/scripts/build-codecs.sh")
(cd "$root" && cmake --preset windows-cross-release -B "$windows" -DCORVALO_WINDOWS_PREFIX="$codecs" \
    >/dev/null)
cmake --build "$windows" -j2 --target picture_load_timing
source "$root/scripts/lib/wine-session.sh"
trap wine_session_stop EXIT
wine_session_start "$root/build/wineprefix-bench" no-display
echo "Picture loading, Windows build under Wine, one core..."
taskset -c 0 wine "$windows/bench/pictures/picture_load_timing.exe" "$samples" 5 \
    >"$native/picture_load_wine.txt"

# name best median, per line; fresh = every result in new memory, warm = a heap that keeps it.
awk '
    FNR == NR { native[$1] = $2; median[$1] = $3; next }
    { wine[$1] = $2; wine_median[$1] = $3 }
    END {
        printf "%-22s %10s %10s %12s\n", "best of 5 (ms)", "native", "wine", "wine/native"
        n = split("jpeg png_rgb png_rgba webp", kinds, " ")
        for (i = 1; i <= n; i++) {
            k = kinds[i]
            split("bare_fresh load_fresh bare_warm load_warm", variants, " ")
            for (v = 1; v <= 4; v++) {
                key = k "/" variants[v]
                if (!(key in native)) continue
                w = (key in wine) ? sprintf("%10.1f %12.2f", wine[key], wine[key] / native[key]) : ""
                printf "%-22s %10.1f %s\n", key, native[key], w
            }
            printf "  load/bare: fresh native %.2f", native[k "/load_fresh"] / native[k "/bare_fresh"]
            if ((k "/load_warm") in native)
                printf ", warm native %.2f", native[k "/load_warm"] / native[k "/bare_warm"]
            if ((k "/load_fresh") in wine)
                printf ", fresh wine %.2f", wine[k "/load_fresh"] / wine[k "/bare_fresh"]
            printf "\n"
        }
        # The table lines of scripts/bench.sh (medians): natively the decoding itself, with the
        # allocator keeping its memory as a long-running program does (the bare decode reuses its
        # buffer); under Wine as the program runs, every picture in fresh memory, on both sides.
        split("jpeg 1.15 png_rgb 1.15 png_rgba 1.25 webp 1.15", t, " ")
        for (i = 1; i < 8; i += 2) {
            k = t[i]
            printf "FIGURE\tLoad 6000x4000 %s, native\t%s\t%s\tbare codec decode\tms\t<=%s\n", \
                k, median[k "/load_warm"], median[k "/bare_warm"], t[i + 1]
            if ((k "/load_fresh") in wine)
                printf "FIGURE\tLoad 6000x4000 %s, under Wine\t%s\t%s\tbare codec decode\tms\t-\n", \
                    k, wine_median[k "/load_fresh"], wine_median[k "/bare_fresh"]
        }
    }' "$native/picture_load.txt" "$native/picture_load_wine.txt"

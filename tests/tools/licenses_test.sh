#!/usr/bin/env bash
# The release's notices check on link maps made up for it: a codec of the codec prefix and a
# library of a Debian package each get their notices; a codec whose notices are unknown, and a
# library that no package holds, fail the release.
set -euo pipefail
source "$(dirname "$0")/../../scripts/lib/licenses.sh"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
codecs=$work/codecs
mkdir -p "$codecs/licenses/libjpeg-turbo" "$work/build"
printf 'IJG notice\n' >"$codecs/licenses/libjpeg-turbo/README.ijg"
printf 'libjpeg-turbo licence\n' >"$codecs/licenses/libjpeg-turbo/LICENSE.md"
zlib=/usr/x86_64-w64-mingw32/lib/libz.a
fail() { echo "FAIL: $*" >&2; exit 1; }

map() { # archives...
    local archive
    for archive in "$@"; do
        printf '%s(member.o)\n                              caller.o (symbol)\n' "$archive"
    done >"$work/build/corvalo.map"
}

map "$codecs/lib/libjpeg.a" "$zlib" "libcorvalo_app.a" "$work/build/delay_load/libole32_delay.a"
write_licenses "$work/build/corvalo.map" "$codecs" "$work/LICENSES.txt" ||
    fail "known libraries should pass"
grep -q 'IJG notice' "$work/LICENSES.txt" || fail "the codec's notice is missing"
grep -q '==== libz-mingw-w64-dev (libz.a) ====' "$work/LICENSES.txt" || fail "zlib's notice is missing"
! grep -q 'libcorvalo_app' "$work/LICENSES.txt" || fail "the program's own libraries need no notice"

map "$codecs/lib/libjpeg.a" "$codecs/lib/libmystery.a"
! write_licenses "$work/build/corvalo.map" "$codecs" "$work/LICENSES.txt" 2>/dev/null ||
    fail "a codec without notices should fail the release"
map "/opt/nowhere/libmystery.a"
! write_licenses "$work/build/corvalo.map" "$codecs" "$work/LICENSES.txt" 2>/dev/null ||
    fail "a library no package holds should fail the release"
map
! write_licenses "$work/build/corvalo.map" "$codecs" "$work/LICENSES.txt" 2>/dev/null ||
    fail "a map naming no library should fail"
echo "1 passed, 0 failed"

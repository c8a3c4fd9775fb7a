#!/usr/bin/env bash
# Builds the release archive dist/corvalo-VERSION-win64.zip: corvalo.exe (Release, stripped), the
# user README and LICENSES.txt (the notices of every library linked into the exe, taken from their
# source packages; a library without one fails the release), and dist/SHA256SUMS beside it. The same commit gives the same bytes: the exe
# carries no link time stamp and no build folder paths, and the archive's entries have a fixed
# date, order and permissions.
#
#   scripts/release.sh           build the archive and print its SHA-256
#   scripts/release.sh --check   build it twice in two fresh folders and compare the bytes
# Either way the archive's exe is then checked as a user gets it (scripts/lib/release-check.sh):
# its imports, and a start and close in a fresh Wine prefix.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

version=$(sed -n 's/^project(Corvalo VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
if [[ -z $version ]]; then
    echo "release: no version in CMakeLists.txt" >&2
    exit 1
fi
if ! grep -q "VALUE \"ProductVersion\", \"$version" resources/corvalo.rc; then
    echo "release: the version resource in resources/corvalo.rc does not say $version" >&2
    exit 1
fi

source scripts/lib/release-check.sh
source scripts/lib/licenses.sh
scripts/install-deps.sh
source scripts/lib/compiler-cache.sh
codecs=$(scripts/build-codecs.sh)

# build_archive <build folder> <archive>
build_archive() {
    local build=$1 archive=$2
    # The same compile options as the test build's product code (no folder path reaches an object,
    # CMakeLists.txt says how), so the compiler cache gives this build the objects the tests ran.
    cmake --preset windows-cross-release -B "$build" -DCORVALO_WINDOWS_PREFIX="$codecs" \
        -DCMAKE_EXE_LINKER_FLAGS="-s -Wl,--no-insert-timestamp -Wl,-Map=$build/corvalo.map" \
        "${compiler_cache_args[@]}" >/dev/null
    cmake --build "$build" -j "$(nproc)" --target corvalo >/dev/null
    # Every library the exe contains, found from the link map, with its notices.
    write_licenses "$build/corvalo.map" "$codecs" "$build/LICENSES.txt"
    /usr/bin/python3 "$root/tools/make_release_zip.py" "$archive" \
        "corvalo.exe=$build/corvalo.exe" "README.txt=$root/release/README.txt" \
        "LICENSES.txt=$build/LICENSES.txt" --version "$version"
}

name=corvalo-$version-win64.zip
mkdir -p dist
if [[ ${1:-} == --check ]]; then
    work=$(mktemp -d)
    trap 'rm -rf "$work"' EXIT
    build_archive "$work/one/build" "$work/one.zip"
    build_archive "$work/two/build" "$work/two.zip"
    if cmp -s "$work/one.zip" "$work/two.zip"; then
        echo "release: two builds in two folders gave the same bytes:" \
            "$(sha256sum "$work/one.zip" | cut -d ' ' -f 1)"
        cp "$work/one.zip" "dist/$name"
    else
        echo "release: two builds differ" >&2
        cmp "$work/one/build/corvalo.exe" "$work/two/build/corvalo.exe" >&2 || true
        exit 1
    fi
else
    build_archive "$root/build/release" "dist/$name"
fi
# The exe exactly as the archive holds it.
unpacked=$(mktemp -d)
/usr/bin/python3 -c 'import sys, zipfile; zipfile.ZipFile(sys.argv[1]).extract("corvalo.exe", sys.argv[2])' \
    "dist/$name" "$unpacked"
check_release_exe "$unpacked/corvalo.exe"
rm -rf "$unpacked"
# The checksum beside the archive, in the form sha256sum -c reads.
(cd dist && sha256sum "$name" >SHA256SUMS)
echo "dist/$name  $(sha256sum "dist/$name" | cut -d ' ' -f 1)  (dist/SHA256SUMS)"

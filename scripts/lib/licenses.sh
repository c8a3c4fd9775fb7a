# Sourced by scripts/release.sh. The notices of every library linked into corvalo.exe, for the
# release archive's LICENSES.txt, found from the link map: every static library a member of which
# the linker took is one the exe contains, and each must have its notices, or the release fails.
#
# write_licenses MAP CODECS OUT
#   MAP: the linker's map of corvalo.exe (-Wl,-Map); CODECS: the codec prefix of
#   scripts/build-codecs.sh, whose licenses/ folder holds the codecs' notices; OUT: the file to
#   write. Prints the components; returns non-zero when a library has no notice.

# The codec prefix's libraries, by the source package whose notices they carry.
declare -A codec_source=(
    [libjpeg.a]=libjpeg-turbo
    [libpng16.a]=libpng1.6
    [libpng.a]=libpng1.6
    [libgif.a]=giflib
    [libopenjp2.a]=openjpeg2
    [libtiff.a]=tiff
    [libwebp.a]=libwebp
    [libwebpdemux.a]=libwebp
    [libsharpyuv.a]=libwebp
)

# The static libraries the link took members from, one path a line.
linked_archives() { # map
    sed -n 's/^\([^ ][^(]*\.a\)(.*/\1/p' "$1" | sort -u
}

write_licenses() {
    local map=$1 codecs=$2 out=$3
    local root
    root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
    local build
    build=$(cd "$(dirname "$map")" && pwd)
    local -A sections=()  # component -> the libraries it covers
    local -A notices=()   # component -> its notice files
    local archive name component
    while read -r archive; do
        [ -n "$archive" ] || continue
        name=$(basename "$archive")
        case "$archive" in
            "$build"/* | "$root"/*)
                continue  # the program's own libraries and import libraries
                ;;
            "$codecs"/*)
                component=${codec_source[$name]:-}
                if [ -z "$component" ] || [ ! -d "$codecs/licenses/$component" ]; then
                    echo "licenses: corvalo.exe links $name, whose notices are not known" >&2
                    return 1
                fi
                notices[$component]=$(ls -d "$codecs/licenses/$component"/*)
                ;;
            /*)
                # The MinGW-w64 runtime, the C++ runtime, zlib: Debian packages of this machine,
                # whose copyright files are their source packages' notices.
                local package
                package=$(dpkg -S "$(readlink -f "$archive")" 2>/dev/null | head -n1 | cut -d: -f1)
                if [ -z "$package" ] || [ ! -f "/usr/share/doc/$package/copyright" ]; then
                    echo "licenses: corvalo.exe links $archive, which no package's notice covers" >&2
                    return 1
                fi
                component=$package
                notices[$component]=/usr/share/doc/$package/copyright
                ;;
            *)
                continue  # the program's own libraries, in its build folder
                ;;
        esac
        sections[$component]+=" $name"
    done < <(linked_archives "$map")
    if [ "${#sections[@]}" -eq 0 ]; then
        echo "licenses: the link map names no library" >&2
        return 1
    fi
    {
        printf 'Corvalo: notices of the libraries linked into corvalo.exe\r\n\r\n'
        printf 'corvalo.exe contains code of the libraries below, linked statically. Their\r\n'
        printf 'copyright notices and licences follow, as their source packages carry them.\r\n'
        printf 'This software is based in part on the work of the Independent JPEG Group.\r\n'
        local file sum
        local -A written=()  # a notice's checksum -> the component it was written for
        for component in $(printf '%s\n' "${!sections[@]}" | sort); do
            printf '\r\n\r\n==================== %s (%s) ====================\r\n' \
                "$component" "${sections[$component]# }"
            for file in ${notices[$component]}; do
                printf '\r\n---- %s ----\r\n\r\n' "$(basename "$file")"
                # Two packages of one source (the C and C++ runtimes) carry the same notice.
                sum=$(sha256sum "$file" | cut -d ' ' -f 1)
                if [ -n "${written[$sum]:-}" ]; then
                    printf 'The same notice as for %s above.\r\n' "${written[$sum]}"
                    continue
                fi
                written[$sum]=$component
                sed 's/\r$//; s/$/\r/' "$file"
            done
        done
    } >"$out"
    echo "licenses: notices of $(printf '%s\n' "${!sections[@]}" | sort | paste -sd ' ') in $(basename "$out")"
}

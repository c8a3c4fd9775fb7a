# Sourced by the scripts that build. One compiler cache (ccache) serves every build tree and every
# clone on this machine, kept outside the clone like the codec libraries, so a fresh clone (as CI
# makes at every run) compiles only what changed. Paths inside the clone are hashed relative to
# it, so two clones in two folders share every entry.
#
# Sets compiler_cache_args: the cmake options that put ccache in front of the compilers (empty
# without ccache). CORVALO_CCACHE_DIR overrides the cache folder (default
# /var/cache/corvalo-ccache when writable, else ~/.cache/corvalo-ccache).
compiler_cache_args=()
if command -v ccache >/dev/null 2>&1; then
    if [ -n "${CORVALO_CCACHE_DIR:-}" ]; then
        CCACHE_DIR=$CORVALO_CCACHE_DIR
    elif mkdir -p /var/cache/corvalo-ccache 2>/dev/null && [ -w /var/cache/corvalo-ccache ]; then
        CCACHE_DIR=/var/cache/corvalo-ccache
    else
        CCACHE_DIR=${XDG_CACHE_HOME:-$HOME/.cache}/corvalo-ccache
    fi
    export CCACHE_DIR
    export CCACHE_BASEDIR
    CCACHE_BASEDIR=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
    # The build folder is not part of an entry's key, so the trees of another clone hit too.
    export CCACHE_NOHASHDIR=true
    export CCACHE_MAXSIZE=${CCACHE_MAXSIZE:-10G}
    compiler_cache_args=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi

#!/bin/sh
# Runs a Windows executable under Wine with a prefix inside the build tree (never ~/.wine).
# WINEPREFIX may be set by the caller; otherwise it is <build folder>/wineprefix, the build
# folder being the nearest folder above the executable that holds CMakeCache.txt.
set -eu
# "wine-run.sh --prepare" only makes the prefix (WINEPREFIX must then be set).
if [ $# -eq 0 ]; then
    echo "usage: wine-run.sh program.exe [arguments...] | wine-run.sh --prepare" >&2
    exit 2
fi

if [ -z "${WINEPREFIX:-}" ]; then
    dir=$(cd "$(dirname -- "$1")" && pwd)
    while [ "$dir" != "/" ] && [ ! -f "$dir/CMakeCache.txt" ]; do
        dir=$(dirname "$dir")
    done
    [ -f "$dir/CMakeCache.txt" ] || dir=$(pwd)
    WINEPREFIX="$dir/wineprefix"
fi
export WINEPREFIX
export WINEARCH=win64
export WINEDEBUG="${WINEDEBUG:--all}"
# No prompts to download the .NET and HTML engines: nothing here needs them.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"

# A new prefix is made once; the lock keeps two parallel tests from making it together. The
# marker is written only after wineboot has finished, so a half-made prefix is made again.
if [ ! -f "$WINEPREFIX/.prepared" ]; then
    mkdir -p "$(dirname "$WINEPREFIX")"
    flock "$WINEPREFIX.lock" sh -c '
        [ -f "$WINEPREFIX/.prepared" ] && exit 0
        wineboot -i >/dev/null 2>&1 || { echo "wine-run.sh: wineboot failed" >&2; exit 1; }
        touch "$WINEPREFIX/.prepared"'
fi
[ "$1" = "--prepare" ] && exit 0
exec wine "$@"

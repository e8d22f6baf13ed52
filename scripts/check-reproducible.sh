#!/usr/bin/env bash
# Checks that the build is reproducible: copies the checkout (tracked and new files, no build
# trees) into two folders of different names and depths, builds the shipped artefacts in each
# with the plain toolchain (no compiler cache), the second build later and with another time
# zone, locale and umask, and compares their SHA-256 sums:
#   windows: Orvane2011Setup.exe, Orvane2011Uninstall.exe, npqx2011.dll, QX2011.dll
#   native:  orvane2011-setup, orvane2011-uninstall, qxarc, npqx2011.dll, QX2011.dll
# and the symbol file (<file>.debug) of each: a file's debug link holds the CRC of its symbol
# file, so the two are only reproducible together.
# Usage: scripts/check-reproducible.sh [work folder]   (default: a new folder under /tmp)
# Exit status 0 when every artefact is identical, 1 otherwise (the differing ones are named,
# and the two trees are kept for a look). Takes a while: four builds from scratch.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
root=$PWD
jobs=${QRV2_JOBS:-2}
work=${1:-$(mktemp -d "${TMPDIR:-/tmp}/qrv2-repro.XXXXXX")}
mkdir -p "$work"
work=$(cd "$work" && pwd)

bash scripts/setup.sh

# The real toolchain, not results a compiler cache kept from other builds.
unset CMAKE_C_COMPILER_LAUNCHER CMAKE_CXX_COMPILER_LAUNCHER CCACHE_DIR
# Unsigned: a signature with a time stamp differs from run to run by design.
unset QRV2_SIGN_PFX QRV2_SIGN_PASSWORD QRV2_SIGN_TIMESTAMP_URL
# One date for anything that honours it: the time of the last commit, never of the build.
SOURCE_DATE_EPOCH=$(git log -1 --format=%ct 2>/dev/null || echo 1323129600)
export SOURCE_DATE_EPOCH

trees=("$work/first/src" "$work/the-second-build/a/qrv2")
for tree in "${trees[@]}"; do
    rm -rf "$tree"
    mkdir -p "$tree"
    git ls-files -z --cached --others --exclude-standard | grep -zv '^build/' |
        xargs -0 tar -cf - -- | tar -C "$tree" -xf -
done

build_tree() { # tree
    local tree=$1
    (
        cd "$tree"
        echo "=== $tree: native"
        cmake --preset native -DQRV2_TESTS=OFF >build-native.log
        cmake --build --preset native -j "$jobs" --target installer uninstaller qxarc npqx2011 qx2011 >>build-native.log
        echo "=== $tree: windows"
        # The native qxarc just built packs the payload: no second native build inside.
        cmake --preset windows -DQRV2_TESTS=OFF -DQRV2_HOST_QXARC="$tree/build/native/tools/qxarc/qxarc" \
            >build-windows.log
        cmake --build --preset windows -j "$jobs" --target installer uninstaller npqx2011 qx2011 >>build-windows.log
    ) || { echo "check-reproducible: the build in $tree failed (see its build-*.log)" >&2; exit 1; }
}

started=$SECONDS
build_tree "${trees[0]}"
# The second build differs in everything that must not matter.
(
    umask 0002
    export TZ=Pacific/Kiritimati LC_ALL=C.UTF-8 LANG=C.UTF-8
    sleep 2
    build_tree "${trees[1]}"
) || exit 1

artefacts=(build/windows/app/Orvane2011Setup.exe build/windows/app/Orvane2011Uninstall.exe
    build/windows/payload/npqx2011.dll build/windows/payload/QX2011.dll
    build/native/app/orvane2011-setup build/native/app/orvane2011-uninstall
    build/native/tools/qxarc/qxarc build/native/payload/npqx2011.dll build/native/payload/QX2011.dll)
shipped=("${artefacts[@]}")
for a in "${shipped[@]}"; do artefacts+=("$a.debug"); done
differ=0
echo
echo "=== SHA-256 of two clean builds ($((SECONDS - started)) s)"
for a in "${artefacts[@]}"; do
    if [[ ! -f "${trees[0]}/$a" || ! -f "${trees[1]}/$a" ]]; then
        printf '%s  MISSING from a build\n' "$a"
        differ=$((differ + 1))
        continue
    fi
    one=$(sha256sum "${trees[0]}/$a" | cut -d' ' -f1)
    two=$(sha256sum "${trees[1]}/$a" | cut -d' ' -f1)
    if [[ "$one" == "$two" ]]; then
        printf '%s  %s  identical\n' "$one" "$a"
    else
        printf '%s  %s\n%s  %s  DIFFERENT\n' "$one" "$a" "$two" "$a"
        differ=$((differ + 1))
    fi
done
if ((differ > 0)); then
    echo "check-reproducible: $differ artefact(s) differ; trees kept in $work" >&2
    exit 1
fi
echo "all ${#artefacts[@]} artefacts identical"
rm -rf "$work/first" "$work/the-second-build"
rmdir "$work" 2>/dev/null || true

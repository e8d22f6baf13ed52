#!/usr/bin/env bash
# Packs and extracts the benchmark corpus with qxarc and prints its throughput as a ratio of the
# zlib limit measured in the same run (one-shot compress2 level 9; one-shot uncompress plus
# creating the files and writing them in 1024-byte blocks), the same ratios for zip -9/unzip
# and tar with gzip -9 when installed, and qxarc's peak memory against its largest entry.
# Usage: bench/run.sh [QXARC]   (default build/native/tools/qxarc/qxarc, built when missing)
# ROUNDS=n (default 2) repeats every measurement and keeps the fastest. Ratios are given for
# wall-clock time and for processor time (user + system); on a shared, busy machine the wall
# clock mostly measures the other load, so the targets are judged on processor time.
# Not part of the tests: it takes a minute or more and its numbers depend on the machine.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
root=$PWD
qxarc=${1:-build/native/tools/qxarc/qxarc}
if [[ ! -x "$qxarc" ]]; then
    cmake --preset native >/dev/null
    cmake --build --preset native --target qxarc
fi
qxarc=$(cd "$(dirname "$qxarc")" && pwd)/$(basename "$qxarc")

maker=""
for candidate in ../shared/bench/make-corpus.sh /work/shared/bench/make-corpus.sh; do
    if [[ -f "$candidate" ]]; then maker=$(cd "$(dirname "$candidate")" && pwd)/make-corpus.sh; break; fi
done
[[ -n "$maker" ]] || { echo "run.sh: make-corpus.sh not found (expected ../shared/bench/)" >&2; exit 2; }

work=$(mktemp -d "${TMPDIR:-/tmp}/qxarc-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
bash "$maker" "$work/corpus" >/dev/null
# Hidden files are never packed; the baselines get the same list.
(cd "$work/corpus" && find . -type f ! -path '*/.*' | sed 's|^\./||' | LC_ALL=C sort) > "$work/list"
files=$(wc -l < "$work/list")
largest=$(cd "$work/corpus" && tr '\n' '\0' < "$work/list" | xargs -0 stat -c %s | sort -n | tail -1)

g++ -O2 -std=c++17 bench/zlib_limit.cpp -lz -o "$work/zlib_limit"
elapsed() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f", b - a }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f", a / b }'; }

# Every measurement writes into a fresh folder: creating files soon after deleting many is slow
# on some disks, so nothing is deleted until the end.
rounds=${ROUNDS:-2}
least() { awk -v a="$1" -v b="$2" 'BEGIN { print (b == "" || a < b) ? a : b }'; }
sum() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f", a + b }'; }
limit_pack="" limit_extract="" limit_pack_cpu="" limit_extract_cpu=""
pack="" extract="" pack_cpu="" extract_cpu="" create_rss=0 extract_rss=0
for ((r = 1; r <= rounds; r++)); do
    read -r _ _ _ bytes _ lp _ le _ lpc _ lec < <("$work/zlib_limit" "$work/corpus" "$work/list" "$work/limit-out-$r")
    limit_pack=$(least "$lp" "$limit_pack")
    limit_extract=$(least "$le" "$limit_extract")
    limit_pack_cpu=$(least "$lpc" "$limit_pack_cpu")
    limit_extract_cpu=$(least "$lec" "$limit_extract_cpu")
    /usr/bin/time -f '%e %U %S %M' -o "$work/create.time" "$qxarc" create "$work/corpus-$r.qx" "$work/corpus"
    /usr/bin/time -f '%e %U %S %M' -o "$work/extract.time" "$qxarc" extract "$work/corpus-$r.qx" "$work/qxarc-out-$r"
    read -r wall user system rss < "$work/create.time"
    pack=$(least "$wall" "$pack")
    pack_cpu=$(least "$(sum "$user" "$system")" "$pack_cpu")
    create_rss=$((rss > create_rss ? rss : create_rss))
    read -r wall user system rss < "$work/extract.time"
    extract=$(least "$wall" "$extract")
    extract_cpu=$(least "$(sum "$user" "$system")" "$extract_cpu")
    extract_rss=$((rss > extract_rss ? rss : extract_rss))
    diff -r "$work/corpus" "$work/qxarc-out-$r" >/dev/null ||
        { echo "run.sh: extracted tree differs from the corpus" >&2; exit 1; }
done

echo "corpus: $files files, $bytes bytes, largest entry $largest bytes"
printf '%-22s %8s %9s %11s %13s %10s %12s\n' tool pack_s extract_s pack/limit extract/limit "pack cpu" "extract cpu"
row() { # name pack extract pack_cpu extract_cpu (cpu may be "-")
    local pc=- ec=-
    [[ "$4" != - ]] && pc=$(ratio "$limit_pack_cpu" "$4")
    [[ "$5" != - ]] && ec=$(ratio "$limit_extract_cpu" "$5")
    printf '%-22s %8.3f %9.3f %11s %13s %10s %12s\n' "$1" "$2" "$3" "$(ratio "$limit_pack" "$2")" \
        "$(ratio "$limit_extract" "$3")" "$pc" "$ec"
}
row "zlib one-shot (limit)" "$limit_pack" "$limit_extract" "$limit_pack_cpu" "$limit_extract_cpu"
row qxarc "$pack" "$extract" "$pack_cpu" "$extract_cpu"

if command -v zip >/dev/null && command -v unzip >/dev/null; then
    /usr/bin/time -f '%e %U %S' -o "$work/zip.time" sh -c 'cd "$1" && zip -q -9 -r "$2" .' _ "$work/corpus" "$work/corpus.zip"
    /usr/bin/time -f '%e %U %S' -o "$work/unzip.time" unzip -q "$work/corpus.zip" -d "$work/zip-out"
    read -r zw zu zs < "$work/zip.time"
    read -r uw uu us < "$work/unzip.time"
    row "zip -9 / unzip" "$zw" "$uw" "$(sum "$zu" "$zs")" "$(sum "$uu" "$us")"
fi
if command -v tar >/dev/null && command -v gzip >/dev/null; then
    mkdir "$work/tar-out"
    /usr/bin/time -f '%e %U %S' -o "$work/tgz.time" sh -c 'tar -C "$1" -cf - . | gzip -9 > "$2"' _ "$work/corpus" "$work/corpus.tar.gz"
    /usr/bin/time -f '%e %U %S' -o "$work/untgz.time" sh -c 'gzip -dc "$1" | tar -C "$2" -xf -' _ "$work/corpus.tar.gz" "$work/tar-out"
    read -r tw tu ts < "$work/tgz.time"
    read -r xw xu xs < "$work/untgz.time"
    row "tar + gzip -9" "$tw" "$xw" "$(sum "$tu" "$ts")" "$(sum "$xu" "$xs")"
fi

budget_kib=$(( (3 * largest + 16 * 1024 * 1024) / 1024 ))
printf 'qxarc peak memory: create %s KiB, extract %s KiB; budget 3 x largest entry + 16 MiB = %s KiB\n' \
    "$create_rss" "$extract_rss" "$budget_kib"
printf 'targets (judged on processor time): pack >= 0.95, extract >= 0.85 of the limit; peak memory <= budget\n'

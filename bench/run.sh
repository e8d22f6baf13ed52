#!/usr/bin/env bash
# Packs and extracts the benchmark corpus with qxarc and prints its throughput as a ratio of the
# zlib limit measured in the same run (one-shot compress2 level 9; one-shot uncompress plus
# creating the files and writing them in 1024-byte blocks), the same ratios for zip -9/unzip
# and tar with gzip -9 when installed, and qxarc's peak memory against its largest entry.
# Usage: bench/run.sh [QXARC]   (default build/native/tools/qxarc/qxarc, built when missing)
# ROUNDS=n (default 2) repeats every measurement and keeps the fastest, which steadies the
# ratios on a shared machine.
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
now() { date +%s.%N; }
elapsed() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f", b - a }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f", a / b }'; }

# Every measurement writes into a fresh folder: creating files soon after deleting many is slow
# on some disks, so nothing is deleted until the end.
rounds=${ROUNDS:-2}
least() { awk -v a="$1" -v b="$2" 'BEGIN { print (b == "" || a < b) ? a : b }'; }
limit_pack="" limit_extract="" pack="" extract="" create_rss=0 extract_rss=0
for ((r = 1; r <= rounds; r++)); do
    read -r _ _ _ bytes _ lp _ le < <("$work/zlib_limit" "$work/corpus" "$work/list" "$work/limit-out-$r")
    limit_pack=$(least "$lp" "$limit_pack")
    limit_extract=$(least "$le" "$limit_extract")
    t0=$(now)
    /usr/bin/time -f %M -o "$work/create.rss" "$qxarc" create "$work/corpus-$r.qx" "$work/corpus"
    t1=$(now)
    /usr/bin/time -f %M -o "$work/extract.rss" "$qxarc" extract "$work/corpus-$r.qx" "$work/qxarc-out-$r"
    t2=$(now)
    pack=$(least "$(elapsed "$t0" "$t1")" "$pack")
    extract=$(least "$(elapsed "$t1" "$t2")" "$extract")
    create_rss=$(( $(cat "$work/create.rss") > create_rss ? $(cat "$work/create.rss") : create_rss ))
    extract_rss=$(( $(cat "$work/extract.rss") > extract_rss ? $(cat "$work/extract.rss") : extract_rss ))
    diff -r "$work/corpus" "$work/qxarc-out-$r" >/dev/null ||
        { echo "run.sh: extracted tree differs from the corpus" >&2; exit 1; }
done

echo "corpus: $files files, $bytes bytes, largest entry $largest bytes"
printf '%-22s %9s %9s %11s %11s\n' tool pack_s extract_s pack/limit extract/limit
printf '%-22s %9.3f %9.3f %11s %11s\n' "zlib one-shot (limit)" "$limit_pack" "$limit_extract" 1.000 1.000
printf '%-22s %9.3f %9.3f %11s %11s\n' qxarc "$pack" "$extract" "$(ratio "$limit_pack" "$pack")" \
    "$(ratio "$limit_extract" "$extract")"

if command -v zip >/dev/null && command -v unzip >/dev/null; then
    t0=$(now); (cd "$work/corpus" && zip -q -9 -r "$work/corpus.zip" .); t1=$(now)
    unzip -q "$work/corpus.zip" -d "$work/zip-out"; t2=$(now)
    printf '%-22s %9.3f %9.3f %11s %11s\n' "zip -9 / unzip" "$(elapsed "$t0" "$t1")" "$(elapsed "$t1" "$t2")" \
        "$(ratio "$limit_pack" "$(elapsed "$t0" "$t1")")" "$(ratio "$limit_extract" "$(elapsed "$t1" "$t2")")"
fi
if command -v tar >/dev/null && command -v gzip >/dev/null; then
    t0=$(now); tar -C "$work/corpus" -cf - . | gzip -9 > "$work/corpus.tar.gz"; t1=$(now)
    mkdir "$work/tar-out"; gzip -dc "$work/corpus.tar.gz" | tar -C "$work/tar-out" -xf -; t2=$(now)
    printf '%-22s %9.3f %9.3f %11s %11s\n' "tar + gzip -9" "$(elapsed "$t0" "$t1")" "$(elapsed "$t1" "$t2")" \
        "$(ratio "$limit_pack" "$(elapsed "$t0" "$t1")")" "$(ratio "$limit_extract" "$(elapsed "$t1" "$t2")")"
fi

budget_kib=$(( (3 * largest + 16 * 1024 * 1024) / 1024 ))
printf 'qxarc peak memory: create %s KiB, extract %s KiB; budget 3 x largest entry + 16 MiB = %s KiB\n' \
    "$create_rss" "$extract_rss" "$budget_kib"
printf 'targets: pack/limit >= 0.95, extract/limit >= 0.85, peak memory <= budget\n'

#!/usr/bin/env bash
# Packs and extracts the benchmark corpus with qxarc (one worker and one per processor) and with
# its peers (bsdtar tar.gz and zip, zip/unzip, tar with gzip), and prints every time as a ratio
# of the zlib limit measured in the same run and of the best peer, with peak memory.
#   pack limit:    one-shot compress2 level 9 of every file, held in memory
#   extract limit: one-shot uncompress of every file, creating each file and writing it whole
# A second measurement extracts 100,000 small files (SMALL_FILES=n to change) with qxarc and with
# bsdtar, the target being qxarc no slower than bsdtar in the same run.
# Usage: bench/run.sh [QXARC]   (default build/native/tools/qxarc/qxarc, built when missing)
# ROUNDS=n (default 3) repeats every measurement and keeps the fastest wall-clock time. On a
# shared machine run it when the load is low (see `uptime`). Extraction goes into tmpfs
# (/dev/shm) when there is one: on a disk the time to create files varies several-fold from
# minute to minute, while what each tool itself does is what is compared.
# Missing peers (bsdtar, zip, unzip) are installed with apt-get when possible.
# Not part of the tests: it takes a few minutes and its numbers depend on the machine.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
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

# The peers, from the distribution when they are missing.
need=()
command -v bsdtar >/dev/null || need+=(libarchive-tools)
command -v zip >/dev/null || need+=(zip)
command -v unzip >/dev/null || need+=(unzip)
if ((${#need[@]} > 0)); then
    sudo=(); [[ $(id -u) -eq 0 ]] || sudo=(sudo)
    echo "run.sh: installing ${need[*]}" >&2
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get -q -y install "${need[@]}" >/dev/null ||
        echo "run.sh: could not install ${need[*]}; those peers are left out" >&2
fi

if [[ -d /dev/shm && -w /dev/shm ]]; then
    base=/dev/shm; where="tmpfs (/dev/shm)"
else
    base=${TMPDIR:-/tmp}; where="$base (no tmpfs available: file creation times vary with the disk)"
fi
work=$(mktemp -d "$base/qxarc-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
bash "$maker" "$work/corpus" >/dev/null 2>&1
# Every file is packed, hidden ones too; the limit gets the same list.
(cd "$work/corpus" && find . -type f | sed 's|^\./||' | LC_ALL=C sort) > "$work/list"
files=$(wc -l < "$work/list")
largest=$(cd "$work/corpus" && tr '\n' '\0' < "$work/list" | xargs -0 stat -c %s | sort -n | tail -1)
cpus=$(nproc)

g++ -O2 -std=c++17 bench/zlib_limit.cpp -lz -o "$work/zlib_limit"
least() { awk -v a="$1" -v b="$2" 'BEGIN { print (b == "" || a < b) ? a : b }'; }
most() { awk -v a="$1" -v b="$2" 'BEGIN { print (b == "" || a > b) ? a : b }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b == "" || a == "") print "-"; else printf "%.2f", a / b }'; }

declare -A best peak
n=0
fresh() { n=$((n + 1)); mkdir -p "$work/out-$n"; echo "$work/out-$n"; }
# measure KEY COMMAND...: wall-clock seconds (best kept) and peak resident KiB (largest kept).
measure() {
    local key=$1; shift
    local start end kib
    start=$(date +%s%N)
    /usr/bin/time -f '%M' -o "$work/time" "$@"
    end=$(date +%s%N)
    kib=$(tail -1 "$work/time")
    best[$key]=$(least "$(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.4f", (b - a) / 1e9 }')" "${best[$key]:-}")
    peak[$key]=$(most "$kib" "${peak[$key]:-}")
}
same_tree() { diff -r "$work/corpus" "$1" >/dev/null || { echo "run.sh: $2: extracted tree differs from the corpus" >&2; exit 1; }; }

rounds=${ROUNDS:-3}
identical=yes
for ((r = 1; r <= rounds; r++)); do
    out=$(fresh)
    read -r _ _ _ bytes _ lp _ le _ _ _ _ < <("$work/zlib_limit" "$work/corpus" "$work/list" "$out")
    best[limit.pack]=$(least "$lp" "${best[limit.pack]:-}")
    best[limit.extract]=$(least "$le" "${best[limit.extract]:-}")
    rm -rf "$out"

    for j in 1 "$cpus"; do
        rm -f "$work/j$j.qx"
        measure "qx$j.pack" "$qxarc" create -j "$j" "$work/j$j.qx" "$work/corpus"
        out=$(fresh)
        measure "qx$j.extract" "$qxarc" extract -j "$j" "$work/j$j.qx" "$out"
        same_tree "$out" "qxarc -j $j"
        rm -rf "$out"
    done
    cmp -s "$work/j1.qx" "$work/j$cpus.qx" || identical=no

    if command -v bsdtar >/dev/null; then
        rm -f "$work/b.tgz" "$work/b.zip"
        measure bsdtgz.pack bsdtar -czf "$work/b.tgz" --options gzip:compression-level=9 -C "$work/corpus" .
        out=$(fresh); measure bsdtgz.extract bsdtar -xf "$work/b.tgz" -C "$out"; same_tree "$out" bsdtar; rm -rf "$out"
        measure bsdzip.pack bsdtar --format zip --options zip:compression-level=9 -cf "$work/b.zip" -C "$work/corpus" .
        out=$(fresh); measure bsdzip.extract bsdtar -xf "$work/b.zip" -C "$out"; same_tree "$out" "bsdtar zip"; rm -rf "$out"
    fi
    if command -v zip >/dev/null && command -v unzip >/dev/null; then
        rm -f "$work/z.zip"
        measure zip.pack sh -c 'cd "$1" && zip -q -9 -r "$2" .' _ "$work/corpus" "$work/z.zip"
        out=$(fresh); measure zip.extract unzip -q "$work/z.zip" -d "$out"; same_tree "$out" unzip; rm -rf "$out"
    fi
    rm -f "$work/t.tgz"
    measure tgz.pack sh -c 'tar -C "$1" -cf - . | gzip -9 > "$2"' _ "$work/corpus" "$work/t.tgz"
    out=$(fresh); measure tgz.extract sh -c 'gzip -dc "$1" | tar -C "$2" -xf -' _ "$work/t.tgz" "$out"
    same_tree "$out" "tar + gzip"; rm -rf "$out"
done

# Many small files: 100,000 files of 20 to 1,500 bytes extracted into the same place, qxarc
# against bsdtar's tar.gz, each tree checked once against the original.
small_files=${SMALL_FILES:-100000}
g++ -O2 -std=c++17 bench/small_files.cpp -o "$work/small_files"
"$work/small_files" "$work/small" "$small_files"
"$qxarc" create "$work/small.qx" "$work/small"
command -v bsdtar >/dev/null && bsdtar -czf "$work/small.tgz" --options gzip:compression-level=9 -C "$work/small" .
checked=""
for ((r = 1; r <= rounds; r++)); do
    for j in 1 "$cpus"; do
        out=$(fresh); measure "small.qx$j" "$qxarc" extract -j "$j" "$work/small.qx" "$out"
        [[ -n "$checked" ]] || { diff -r "$work/small" "$out" >/dev/null || { echo "run.sh: qxarc: small files differ" >&2; exit 1; }; checked=yes; }
        rm -rf "$out"
    done
    if [[ -f "$work/small.tgz" ]]; then
        out=$(fresh); measure small.bsd bsdtar -xf "$work/small.tgz" -C "$out"; rm -rf "$out"
    fi
done

peers=(bsdtgz bsdzip zip tgz)
declare -A label=([bsdtgz]="bsdtar tar.gz -9" [bsdzip]="bsdtar zip -9" [zip]="zip -9 / unzip"
                  [tgz]="tar + gzip -9" [qx1]="qxarc -j 1" ["qx$cpus"]="qxarc -j $cpus")
best_peer_pack="" best_peer_extract=""
for p in "${peers[@]}"; do
    [[ -n "${best[$p.pack]:-}" ]] || continue
    best_peer_pack=$(least "${best[$p.pack]}" "$best_peer_pack")
    best_peer_extract=$(least "${best[$p.extract]}" "$best_peer_extract")
done

echo "corpus: $files files, $bytes bytes, largest entry $largest bytes; $cpus processors"
echo "extraction into $where; best of $rounds wall-clock times"
echo "x limit = limit time / time, x peer = best peer's time / time (above 1: faster); peak = resident KiB"
printf '%-18s %8s %8s %7s %9s | %9s %8s %7s %9s\n' tool pack_s "x limit" "x peer" "peak" extract_s "x limit" "x peer" "peak"
row() { # key
    local k=$1
    printf '%-18s %8.3f %8s %7s %9s | %9.3f %8s %7s %9s\n' "${label[$k]}" "${best[$k.pack]}" \
        "$(ratio "${best[limit.pack]}" "${best[$k.pack]}")" "$(ratio "$best_peer_pack" "${best[$k.pack]}")" "${peak[$k.pack]}" \
        "${best[$k.extract]}" "$(ratio "${best[limit.extract]}" "${best[$k.extract]}")" \
        "$(ratio "$best_peer_extract" "${best[$k.extract]}")" "${peak[$k.extract]}"
}
printf '%-18s %8.3f %8s %7s %9s | %9.3f %8s %7s %9s\n' "zlib limit" "${best[limit.pack]}" 1.00 "$(ratio "$best_peer_pack" "${best[limit.pack]}")" - \
    "${best[limit.extract]}" 1.00 "$(ratio "$best_peer_extract" "${best[limit.extract]}")" -
row qx1
row "qx$cpus"
for p in "${peers[@]}"; do [[ -n "${best[$p.pack]:-}" ]] && row "$p"; done

echo "qxarc -j 1 and -j $cpus archives byte-identical: $identical"
verdict() { awk -v a="$1" -v b="$2" 'BEGIN { print (a >= b) ? "met" : "MISSED" }'; }
mib=1024
create_budget=$(( (cpus * 2 * largest) / 1024 + 16 * mib ))
extract_budget=$(( cpus * 8 * mib + 16 * mib ))
create1_budget=$(( (2 * largest) / 1024 + 16 * mib ))
extract1_budget=$(( 8 * mib + 16 * mib ))
le=${best[limit.extract]} lp=${best[limit.pack]}
echo "targets:"
echo "  extract -j $cpus >= 1.30 x limit: $(ratio "$le" "${best[qx$cpus.extract]}") $(verdict "$(ratio "$le" "${best[qx$cpus.extract]}")" 1.30)"
echo "  extract -j $cpus faster than every peer: x peer $(ratio "$best_peer_extract" "${best[qx$cpus.extract]}") $(verdict "$(awk -v a="$best_peer_extract" -v b="${best[qx$cpus.extract]}" 'BEGIN { print (a > b) ? 1 : 0 }')" 1)"
echo "  extract -j 1 >= 0.90 x limit: $(ratio "$le" "${best[qx1.extract]}") $(verdict "$(ratio "$le" "${best[qx1.extract]}")" 0.90)"
echo "  create -j $cpus >= 1.70 x limit: $(ratio "$lp" "${best[qx$cpus.pack]}") $(verdict "$(ratio "$lp" "${best[qx$cpus.pack]}")" 1.70)"
echo "  create -j 1 >= 0.95 x limit: $(ratio "$lp" "${best[qx1.pack]}") $(verdict "$(ratio "$lp" "${best[qx1.pack]}")" 0.95)"
echo "  peak memory create -j $cpus <= $cpus x 2 x largest + 16 MiB = $create_budget KiB: ${peak[qx$cpus.pack]} $(verdict "$create_budget" "${peak[qx$cpus.pack]}")"
echo "  peak memory create -j 1 <= 2 x largest + 16 MiB = $create1_budget KiB: ${peak[qx1.pack]} $(verdict "$create1_budget" "${peak[qx1.pack]}")"
echo "  peak memory extract -j $cpus <= $cpus x 8 MiB + 16 MiB = $extract_budget KiB: ${peak[qx$cpus.extract]} $(verdict "$extract_budget" "${peak[qx$cpus.extract]}")"
echo "  peak memory extract -j 1 <= 8 MiB + 16 MiB = $extract1_budget KiB: ${peak[qx1.extract]} $(verdict "$extract1_budget" "${peak[qx1.extract]}")"
echo "$small_files small files, extracted into $where (best of $rounds; peak = resident KiB):"
printf '  %-16s %8s %9s\n' tool extract_s peak
for k in "small.qx1" "small.qx$cpus" small.bsd; do
    [[ -n "${best[$k]:-}" ]] || continue
    case $k in small.bsd) l="bsdtar tar.gz" ;; *) l="qxarc -j ${k#small.qx}" ;; esac
    printf '  %-16s %8.3f %9s\n' "$l" "${best[$k]}" "${peak[$k]}"
done
if [[ -n "${best[small.bsd]:-}" ]]; then
    echo "  extract of $small_files small files -j $cpus no slower than bsdtar: x bsdtar $(ratio "${best[small.bsd]}" "${best[small.qx$cpus]}") $(verdict "$(awk -v a="${best[small.bsd]}" -v b="${best[small.qx$cpus]}" 'BEGIN { print (a >= b) ? 1 : 0 }')" 1)"
fi
[[ "$identical" == yes ]] || { echo "run.sh: -j 1 and -j $cpus archives differ" >&2; exit 1; }

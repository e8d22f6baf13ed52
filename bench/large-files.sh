#!/usr/bin/env bash
# Large files with qxarc: peak memory of create with one worker and with four on a 1 GiB file
# (and on four 768 MiB files), the bytes against zlib's one-shot compress2 of the whole file,
# the largest sparse file the format carries (4,294,967,295 bytes), and how soon SIGINT and
# SIGTERM end a create busy with a 200 MB file.
# Usage: bench/large-files.sh [QXARC]   (default build/native/tools/qxarc/qxarc)
# Needs about 9 GB of disk in ${TMPDIR:-/tmp} and, for the byte check, 2.2 GB of memory.
# Not part of the tests: it takes a few minutes.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
qxarc=${1:-build/native/tools/qxarc/qxarc}
qxarc=$(cd "$(dirname "$qxarc")" && pwd)/$(basename "$qxarc")
work=$(mktemp -d "${TMPDIR:-/tmp}/qxarc-large.XXXXXX")
trap 'rm -rf "$work"' EXIT

# peak KiB and seconds of a command
measure() { /usr/bin/time -f '%M KiB, %e s' -o "$work/time" "$@" >/dev/null; cat "$work/time"; }

mkdir "$work/one" "$work/four" "$work/sparse" "$work/busy"
head -c 1073741824 /dev/urandom > "$work/one/random.bin"
for i in 1 2 3 4; do head -c 805306368 /dev/urandom > "$work/four/random$i.bin"; done
echo "create of one 1 GiB file, -j 1: $(measure "$qxarc" create -j 1 "$work/one1.qx" "$work/one")"
echo "create of one 1 GiB file, -j 4: $(measure "$qxarc" create -j 4 "$work/one4.qx" "$work/one")"
cmp -s "$work/one1.qx" "$work/one4.qx" && echo "  -j 1 and -j 4 archives identical" ||
    { echo "large-files.sh: -j 1 and -j 4 archives differ" >&2; exit 1; }
echo "create of four 768 MiB files, -j 4: $(measure "$qxarc" create -j 4 "$work/four4.qx" "$work/four")"
echo "create of four 768 MiB files, -j 1: $(measure "$qxarc" create -j 1 "$work/four1.qx" "$work/four")"
cmp -s "$work/four1.qx" "$work/four4.qx" && echo "  -j 1 and -j 4 archives identical" ||
    { echo "large-files.sh: -j 1 and -j 4 archives differ" >&2; exit 1; }
rm -f "$work/four1.qx" "$work/four4.qx" "$work/one4.qx"

# The one block of one1.qx against compress2 of the whole file.
cat > "$work/oneshot.cpp" <<'EOF'
#include <zlib.h>
#include <cstdio>
#include <cstring>
#include <vector>
static std::vector<unsigned char> Slurp(const char* path) {
    std::vector<unsigned char> bytes;
    FILE* f = std::fopen(path, "rb");
    unsigned char piece[1 << 16];
    for (size_t n; f != nullptr && (n = std::fread(piece, 1, sizeof piece, f)) > 0;)
        bytes.insert(bytes.end(), piece, piece + n);
    if (f != nullptr) std::fclose(f);
    return bytes;
}
int main(int, char** argv) {
    const std::vector<unsigned char> content = Slurp(argv[1]), archive = Slurp(argv[2]);
    unsigned directory = 0;
    std::memcpy(&directory, &archive[12], 4);
    const size_t block = 8 + directory;
    uLongf size = compressBound(content.size());
    std::vector<unsigned char> packed(size);
    if (compress2(packed.data(), &size, content.data(), content.size(), 9) != Z_OK) return 2;
    return archive.size() == block + 8 + size &&
                   std::memcmp(&archive[block + 8], packed.data(), size) == 0
               ? 0
               : 1;
}
EOF
g++ -O2 "$work/oneshot.cpp" -lz -o "$work/oneshot"
"$work/oneshot" "$work/one/random.bin" "$work/one1.qx" &&
    echo "  its block holds the bytes of compress2 of the whole file" ||
    { echo "large-files.sh: the block differs from compress2's" >&2; exit 1; }

truncate -s 4294967295 "$work/sparse/largest.bin"
printf 'in the middle' | dd of="$work/sparse/largest.bin" bs=1 seek=2000000000 conv=notrunc 2>/dev/null
echo "create of a 4,294,967,295-byte sparse file: $(measure "$qxarc" create "$work/sparse.qx" "$work/sparse")"
echo "test of it: $(measure "$qxarc" test "$work/sparse.qx")"
"$qxarc" extract -O "$work/sparse.qx" | cmp -s - "$work/sparse/largest.bin" &&
    echo "  extracted back byte for byte" || { echo "large-files.sh: content differs" >&2; exit 1; }

head -c 209715200 /dev/urandom > "$work/busy/random.bin"
for signal in INT TERM; do
    for jobs in 1 4; do
        "$qxarc" create -j "$jobs" "$work/busy.qx" "$work/busy" 2>/dev/null &
        pid=$!
        until ls -l "/proc/$pid/fd" 2>/dev/null | grep -q random.bin; do sleep 0.01; done
        sleep 0.5
        start=$(date +%s%N)
        kill -"$signal" "$pid"
        status=0
        wait "$pid" || status=$?
        end=$(date +%s%N)
        left=$(find "$work" -maxdepth 1 -name 'busy.qx*' | wc -l)
        echo "SIG$signal during a 200 MB file, -j $jobs: status $status after $(( (end - start) / 1000000 )) ms, files left: $left"
    done
done

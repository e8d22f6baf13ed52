#!/usr/bin/env bash
# Runs the archive fuzzer (clang + libFuzzer + AddressSanitizer) for a given time.
# Usage: scripts/fuzz.sh [SECONDS] [extra libFuzzer options...]   (default 60 seconds)
# New inputs go to build/fuzz/corpus (the seed corpus in fuzz/corpus stays as it is); a crash
# leaves its input in build/fuzz/ and makes the exit status non-zero.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
seconds=${1:-60}
shift || true
build=build/fuzz
if ! command -v clang++ >/dev/null; then
    echo "fuzz.sh: clang++ is needed for libFuzzer" >&2
    exit 2
fi
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
    -DCMAKE_C_FLAGS="-fsanitize=fuzzer-no-link" -DCMAKE_CXX_FLAGS="-fsanitize=fuzzer-no-link" \
    -DQRV2_SANITIZE=ON -DQRV2_FUZZ=ON >/dev/null
cmake --build "$build" --target archive_fuzzer -j"${QRV2_JOBS:-2}"
mkdir -p "$build/corpus"
cd "$build"
exec ./fuzz/archive_fuzzer -max_total_time="$seconds" -rss_limit_mb=2048 -max_len=65536 \
    -artifact_prefix=./ "$@" corpus ../../fuzz/corpus

#!/usr/bin/env bash
# Times the installer's phase actions (payload written, opened and checked; both libraries
# extracted and registered) with the embedded sample payload, as a ratio of the sequence's
# fixed pauses measured in the same run. Works in a scratch home: nothing of the user's changes.
# Usage: bench/installer-phases.sh [ROUNDS]   (default 7, the median is reported)
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
cmake --preset native >/dev/null
cmake --build --preset native -j2 --target installer_phases >/dev/null
home=$(mktemp -d "${TMPDIR:-/tmp}/qrv2-phases.XXXXXX")
trap 'rm -rf "$home"' EXIT
env HOME="$home" XDG_CONFIG_HOME="$home/config" XDG_DATA_HOME="$home/data" XDG_RUNTIME_DIR="$home/run" \
    build/native/app/installer_phases "${1:-7}"

#!/usr/bin/env bash
# Makes a copy of the installer whose embedded payload archive is damaged: the archive's 4-byte
# magic is overwritten, everything else (program, resources, the rest of the archive) is left as
# built. The payload lies in the executable byte for byte (a resource on Windows, a table of the
# program's read-only data elsewhere), so it is found by comparing with the built archive. A build
# with debug information may hold a second copy (the table's value in the debug data): every copy
# is damaged alike.
#
#   damage_payload.sh <installer> <payload archive> <output>
set -euo pipefail
installer=$1 payload=$2 output=$3

probe=64
size=$(stat -c %s "$payload")
((size < probe)) && probe=$size
magic=$(head -c 4 "$payload")

found=()
# Every place the magic occurs; the payload is where the archive's first bytes follow.
while IFS=: read -r offset _; do
    if cmp -s -n "$probe" -i "$offset:0" "$installer" "$payload"; then
        found+=("$offset")
    fi
done < <(LC_ALL=C grep -obUa -F -- "$magic" "$installer" || true)

if ((${#found[@]} == 0)); then
    echo "damage_payload.sh: the payload archive $payload is not inside $installer" >&2
    exit 1
fi
tmp="$output.tmp"
cp "$installer" "$tmp"
for offset in "${found[@]}"; do
    printf 'XXXX' | dd of="$tmp" bs=1 seek="$offset" conv=notrunc status=none
done
chmod +x "$tmp"
mv "$tmp" "$output"

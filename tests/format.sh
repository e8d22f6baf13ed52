#!/usr/bin/env bash
# Checks that every C and C++ source of the tree is laid out as .clang-format says; names each
# file that is not and exits 1 (clang-format -i on those files mends them).
# Usage: tests/format.sh [SOURCE_DIR]
set -euo pipefail
cd "${1:-$(dirname "${BASH_SOURCE[0]}")/..}"

if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
    mapfile -t files < <(git ls-files --cached --others --exclude-standard -- '*.h' '*.cpp' '*.c')
else
    mapfile -t files < <(find . \( -name '*.h' -o -name '*.cpp' -o -name '*.c' \) -not -path './build/*' -printf '%P\n')
fi
# One clang-format for all files; each place it would change is reported as "file:line:col: error".
if report=$(clang-format --dry-run --Werror "${files[@]}" 2>&1); then
    echo "format: ${#files[@]} files laid out as .clang-format says"
    exit 0
fi
unformatted=$(printf '%s\n' "$report" | sed -n 's/^\(.*\):[0-9]*:[0-9]*: error:.*/\1/p' | sort -u)
if [[ -z "$unformatted" ]]; then
    printf 'format: clang-format failed:\n%s\n' "$report" >&2
    exit 1
fi
printf 'format: %s is not laid out as .clang-format says (clang-format -i mends it)\n' $unformatted >&2
exit 1

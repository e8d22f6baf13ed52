#!/usr/bin/env bash
# Checks a shipped file and its symbol file: the file carries no debug data and no symbol table,
# only a debug link; <file>.debug beside it holds the debug data; and a debugger given the file
# alone resolves a function of it to its source line through that link. The same file copied
# without its .debug gives the debugger no line, so the line really comes from the symbol file.
#
#   debug_link.sh <gdb> <objdump> <file> <function>
# Exit status 0 when all holds, 1 otherwise (each failure named).
set -uo pipefail
if (($# != 4)); then
    echo "usage: debug_link.sh <gdb> <objdump> <file> <function>" >&2
    exit 2
fi
gdb=$1 objdump=$2 file=$3 function=$4
failed=0
fail() {
    echo "FAIL: $*" >&2
    failed=1
}

sections=$("$objdump" -h "$file") || { echo "FAIL: $objdump cannot read $file" >&2; exit 1; }
grep -q -F .gnu_debuglink <<<"$sections" || fail "$file has no debug link"
if grep -q -E '\.debug_(info|line)|\.stab' <<<"$sections"; then
    fail "$file still carries debug data"
fi
# (Each listing is read whole before it is searched: grep -q leaving early would break the pipe.)
symbols=$("$objdump" -t "$file" 2>/dev/null)
# A symbol line ends with the symbol's name; the listing's header names the file, whose path
# may hold the function's name too.
if grep -q -E "[[:space:]]${function}\$" <<<"$symbols"; then
    fail "$file still carries its symbol table (it names $function)"
fi
if [[ ! -s "$file.debug" ]]; then
    fail "no symbol file $file.debug"
elif ! grep -q -F .debug_info <<<"$("$objdump" -h "$file.debug")"; then
    fail "$file.debug holds no debug data"
fi

# "info line" answers with a source line only from debug data: exports and the dynamic symbol
# table name a function, but never its line.
line_of() { # <file>
    "$gdb" -batch -nx -ex "info line $function" "$1" 2>&1
}
found=$(line_of "$file")
if [[ "$found" =~ Line\ [0-9]+\ of\ \"[^\"]+\" ]]; then
    echo "$(basename "$file"): $function at ${BASH_REMATCH[0]}"
else
    fail "the debugger did not resolve $function in $file through $file.debug:"$'\n'"$found"
fi

alone=$(mktemp -d)
trap 'rm -rf "$alone"' EXIT
cp "$file" "$alone/"
found=$(line_of "$alone/$(basename "$file")")
if [[ "$found" =~ Line\ [0-9]+\ of ]]; then
    fail "without its symbol file $file still gave a source line: $found"
fi
exit "$failed"

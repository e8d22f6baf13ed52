#!/usr/bin/env bash
# Checks the direction of every include in the tree: no file includes a header of a layer above
# its own, and only the platform layer (and the tests and fuzz targets of its implementation)
# reaches into platform/posix or platform/win32.
# Usage: tests/layering.sh [SOURCE_DIR]   Exit status 0 when every include keeps the rule, else 1
# with each offending include named on standard error.
set -euo pipefail
cd "${1:-$(dirname "${BASH_SOURCE[0]}")/..}"

list_sources() {
    if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
        git ls-files --cached --others --exclude-standard -- '*.h' '*.cpp' '*.c'
    else
        find . \( -name '*.h' -o -name '*.cpp' -o -name '*.c' \) -not -path './build/*' -printf '%P\n'
    fi
}

list_sources | LC_ALL=C sort -u | awk '
# The layers from the bottom up; a file may include headers of its own layer and those below.
# Programs (app, tools, payload) sit above the framework; tests, fuzz targets and benchmarks
# above everything they exercise. Empty: outside the layered tree.
function rank(path) {
    if (path ~ /^platform\//) return 0
    if (path ~ /^framework\/core\//) return 1
    if (path ~ /^framework\/containers\//) return 2
    if (path ~ /^framework\/io\//) return 3
    if (path ~ /^framework\/system\//) return 4
    if (path ~ /^framework\/archive\//) return 5
    if (path ~ /^framework\/[^\/]+\//) return 99  # a framework folder without a place
    if (path ~ /^framework\//) return 6
    if (path ~ /^(app|tools|payload)\//) return 7
    if (path ~ /^(tests|fuzz|bench)\//) return 8
    return ""
}
function layer(path,    parts) {
    if (path ~ /^framework\/[^\/]+\//) { split(path, parts, "/"); return "framework/" parts[2] }
    if (path ~ /^framework\//) return "framework (the composition root)"
    split(path, parts, "/")
    return parts[1]
}
# The folders whose headers belong to the platform implementation they sit in.
function private_folder(path) {
    if (path ~ /^platform\/(posix|win32)\//) return substr(path, 1, 14)
    return ""
}
{
    file = $0
    from = rank(file)
    if (from == "") next
    mine = private_folder(file)
    n = 0
    while ((getline line < file) > 0) {
        n++
        if (line !~ /^[ \t]*#[ \t]*include[ \t]*["<]/) continue
        header = line
        sub(/^[ \t]*#[ \t]*include[ \t]*["<]/, "", header)
        sub(/[">].*$/, "", header)
        to = rank(header)
        if (to == "") continue
        where = file ":" n " includes \"" header "\""
        if (to + 0 > from + 0) {
            printf "layering: %s: %s may not include %s, a layer above it\n", where, layer(file), layer(header) > "/dev/stderr"
            failures++
        }
        theirs = private_folder(header)
        # White-box tests of one platform implementation, and the fuzz target of the POSIX
        # registry store, may look inside it.
        if (theirs != "" && theirs != mine && file !~ /^(tests\/platform|fuzz)\//) {
            printf "layering: %s: %s is private to the platform layer; use a public header of platform/\n", where, theirs > "/dev/stderr"
            failures++
        }
    }
    close(file)
}
END {
    if (failures > 0) {
        printf "layering: %d include(s) against the direction platform <- core <- containers <- io <- system <- archive <- framework <- programs\n", failures > "/dev/stderr"
        exit 1
    }
    print "layering: every include keeps the direction"
}
'

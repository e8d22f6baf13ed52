#!/usr/bin/env bash
# Sets the machine up, builds the presets and runs every test; ends with one summary line per
# build and a total. Usage: scripts/test.sh [native] [native-asan] [windows]  (default: all)
# Any failed configure, build or test makes the exit status non-zero.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
root=$PWD
jobs=${QRV2_JOBS:-2}

all_presets=(native native-asan windows)
if (($# == 0)); then
    presets=("${all_presets[@]}")
else
    presets=()
    for p in "$@"; do
        case "$p" in
            native | native-asan | windows) presets+=("$p") ;;
            *) echo "test.sh: unknown preset '$p' (known: ${all_presets[*]})" >&2; exit 2 ;;
        esac
    done
fi

started=$SECONDS
bash scripts/setup.sh

# --- Wine and the virtual display -----------------------------------------------------------
xvfb_pid=""
wine_used=0
cleanup() {
    if ((wine_used)) && [[ -n "${WINEPREFIX:-}" ]]; then
        wineserver -k >/dev/null 2>&1 || true
    fi
    if [[ -n "$xvfb_pid" ]]; then
        kill "$xvfb_pid" 2>/dev/null || true
        wait "$xvfb_pid" 2>/dev/null || true
    fi
}
trap cleanup EXIT

# Starts a private X server on a free display (Xvfb picks the number and reports it once it
# accepts connections) and exports DISPLAY: the Windows build's tests open real windows.
start_display() {
    local numfile
    numfile=$(mktemp)
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$numfile" >/dev/null 2>&1 &
    xvfb_pid=$!
    local waited=0
    while [[ ! -s "$numfile" ]]; do
        if ! kill -0 "$xvfb_pid" 2>/dev/null || ((waited >= 100)); then
            echo "test.sh: Xvfb did not start" >&2
            rm -f "$numfile"
            return 1
        fi
        sleep 0.1
        waited=$((waited + 1))
    done
    DISPLAY=":$(head -n1 "$numfile")"
    export DISPLAY
    rm -f "$numfile"
}

# --- Counting results -----------------------------------------------------------------------
# ctest writes one JUnit record per ctest test; a GoogleTest program added with
# qrv2_add_gtest also leaves <name>.xml with one record per test case. Cases are counted where
# such a file exists, the ctest test itself otherwise. A program that failed with all its cases
# passed (a leak found at exit, a crash after the last case) counts as one more failure.
count_passed=0
count_failed=0
count_skipped=0
xml_attr() { # file attribute: the attribute of the first <testsuites> element
    grep -m1 -o '<testsuites [^>]*>' "$1" | grep -o " $2=\"[0-9]*\"" | grep -o '[0-9]\+' || echo 0
}
count_results() {
    local dir=$1 name status xml tests fails skips
    count_passed=0 count_failed=0 count_skipped=0
    [[ -f "$dir/ctest-junit.xml" ]] || return 0
    while IFS=$'\t' read -r name status; do
        xml="$dir/$name.xml"
        if [[ -f "$xml" ]]; then
            tests=$(xml_attr "$xml" tests)
            fails=$(xml_attr "$xml" failures)
            skips=$(grep -c 'result="skipped"' "$xml" || true)
            count_passed=$((count_passed + tests - fails - skips))
            count_failed=$((count_failed + fails))
            count_skipped=$((count_skipped + skips))
            if [[ "$status" != "run" && "$fails" -eq 0 ]]; then
                count_failed=$((count_failed + 1))
            fi
        else
            case "$status" in
                run) count_passed=$((count_passed + 1)) ;;
                fail) count_failed=$((count_failed + 1)) ;;
                *) count_skipped=$((count_skipped + 1)) ;;
            esac
        fi
    done < <(grep -o '<testcase name="[^"]*"[^>]*status="[^"]*"' "$dir/ctest-junit.xml" |
        sed -E 's/^<testcase name="([^"]*)".*status="([^"]*)"$/\1\t\2/')
}

# --- One preset -------------------------------------------------------------------------------
declare -A summary
overall=0
total_passed=0
total_failed=0
total_skipped=0

run_preset() {
    local p=$1 bdir="$root/build/$1" t0=$SECONDS
    local results="$bdir/test-results"
    echo "=== $p: configure"
    if ! cmake --preset "$p"; then
        summary[$p]="configure failed"
        return 1
    fi
    echo "=== $p: build"
    if ! cmake --build --preset "$p" -j "$jobs"; then
        summary[$p]="build failed"
        return 1
    fi

    # Tests see a home of their own, so a run neither reads nor leaves per-user state (the
    # POSIX registry store, Wine's user folders) of the machine or of an earlier run.
    rm -rf "$results" "${bdir:?}/home"
    mkdir -p "$results" "$bdir/home"
    local rc=0
    # (set -e does not hold inside this subshell: it stands left of ||.)
    (
        export HOME="$bdir/home"
        unset XDG_CONFIG_HOME XDG_DATA_HOME XDG_CACHE_HOME XDG_STATE_HOME XDG_RUNTIME_DIR
        if [[ "$p" == windows ]]; then
            export WINEPREFIX="$bdir/wineprefix"
            # A server left by an interrupted run would keep serving the deleted prefix.
            wineserver -k >/dev/null 2>&1 || true
            rm -rf "$WINEPREFIX" "$WINEPREFIX.lock"
            echo "=== $p: preparing a new Wine prefix"
            cmake/wine-run.sh --prepare || exit 1
        fi
        echo "=== $p: test"
        ctest --preset "$p" --no-tests=error --output-junit "$results/ctest-junit.xml"
    ) || rc=$?

    count_results "$results"
    if ((rc != 0 && count_failed == 0)); then
        count_failed=1 # ctest itself failed (no tests found, prefix not made, ...)
    fi
    summary[$p]="$count_passed passed, $count_failed failed"
    if ((count_skipped > 0)); then
        summary[$p]+=", $count_skipped skipped"
    fi
    total_passed=$((total_passed + count_passed))
    total_failed=$((total_failed + count_failed))
    total_skipped=$((total_skipped + count_skipped))
    echo "=== $p: done in $((SECONDS - t0)) s"
    return "$rc"
}

for p in "${presets[@]}"; do
    if [[ "$p" == windows ]]; then
        if ! start_display; then
            summary[$p]="no virtual display"
            overall=1
            continue
        fi
        wine_used=1
        export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" WINEARCH=win64
        export WINEPREFIX="$root/build/windows/wineprefix"
    fi
    run_preset "$p" || overall=1
    if [[ "$p" == windows ]]; then
        wineserver -k >/dev/null 2>&1 || true
    fi
done

echo
echo "=== summary ($((SECONDS - started)) s)"
for p in "${presets[@]}"; do
    case "${summary[$p]}" in
        *passed*) echo "$p: ${summary[$p]}" ;;
        *)
            echo "$p: 0 passed, 1 failed (${summary[$p]})"
            total_failed=$((total_failed + 1))
            ;;
    esac
done
line="total: $total_passed passed, $total_failed failed"
if ((total_skipped > 0)); then
    line+=", $total_skipped skipped"
fi
echo "$line"
exit "$overall"

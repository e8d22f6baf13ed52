#!/usr/bin/env bash
# Runs one end-to-end scenario of the installer and exits non-zero when any check fails.
#
#   run_scenario.sh <config> <scenario>    (config: the e2e-config.sh the build generates)
#   run_scenario.sh <config> prepare       (Wine build: make the run's new base prefix)
#
# Each scenario works in <work>/<scenario>/, which is emptied first and kept afterwards for a
# look when something failed. Processes the scenario starts are ended when it ends.
set -uo pipefail

E2E_SOURCE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
if (($# != 2)); then
    echo "usage: run_scenario.sh <config> <scenario>" >&2
    exit 2
fi
# shellcheck source=/dev/null
source "$1"
scenario=$2

source "$E2E_SOURCE/lib/common.sh"
source "$E2E_SOURCE/lib/$E2E_PLATFORM.sh"
source "$E2E_SOURCE/scenarios.sh"

if [[ "$scenario" == prepare ]]; then
    be_prepare
    exit $?
fi
if ! declare -F "scenario_$scenario" >/dev/null; then
    echo "run_scenario.sh: unknown scenario '$scenario'" >&2
    exit 2
fi

S="$E2E_WORK/$scenario"
rm -rf "$S"
mkdir -p "$S"
trap 'be_teardown' EXIT
started=$(date +%s.%N)
be_setup "$S" || { echo "FAIL: the scenario's environment could not be set up" >&2; exit 1; }
"scenario_$scenario"
elapsed=$(awk -v a="$started" -v b="$(date +%s.%N)" 'BEGIN { printf "%.1f", b - a }')
if ((E2E_FAILURES > 0)); then
    echo "$scenario ($E2E_PLATFORM): $E2E_FAILURES check(s) failed in ${elapsed} s; files in $S"
    exit 1
fi
echo "$scenario ($E2E_PLATFORM): $E2E_CHECKS checks passed in ${elapsed} s"
exit 0

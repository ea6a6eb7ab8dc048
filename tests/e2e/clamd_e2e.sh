#!/usr/bin/env bash
# Runs the engine scenarios of the end-to-end tests against two ClamAV daemons of their own: a
# signature made up now, free loopback ports, every file in a temporary folder; the daemons are
# stopped when the scenarios end, also when they fail.
# Usage: clamd_e2e.sh <wine-exec> <e2e_tests.exe>
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
# shellcheck source=scripts/clamd-local.sh
source "$top/scripts/clamd-local.sh"
dir=$(mktemp -d)
first_pid=
trap 'clamd_stop; CLAMD_PID=$first_pid clamd_stop; rm -rf "$dir"' EXIT
marker="TORVANE-E2E-SIGNATURE-$RANDOM-$RANDOM-$$"
clamd_start "$dir/first" Torvane.E2E.Signature "$marker"
first_pid=$CLAMD_PID
first_port=$CLAMD_PORT
clamd_start "$dir/second" Torvane.E2E.Signature "$marker"
TORVANE_CLAMD_PORT=$first_port TORVANE_CLAMD_PORT2=$CLAMD_PORT TORVANE_CLAMD_MARKER=$marker \
  TORVANE_CLAMD_SIGNATURE=Torvane.E2E.Signature.UNOFFICIAL "$1" "$2" --gtest_filter='EngineE2e.*'

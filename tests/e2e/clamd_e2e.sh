#!/usr/bin/env bash
# Runs the engine scenario of the end-to-end tests against a ClamAV daemon of its own: a signature
# made up now, a free loopback port, every file in a temporary folder; the daemon is stopped when
# the scenario ends, also when it fails.
# Usage: clamd_e2e.sh <wine-exec> <e2e_tests.exe>
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
# shellcheck source=scripts/clamd-local.sh
source "$top/scripts/clamd-local.sh"
dir=$(mktemp -d)
trap 'clamd_stop; rm -rf "$dir"' EXIT
marker="TORVANE-E2E-SIGNATURE-$RANDOM-$RANDOM-$$"
clamd_start "$dir" Torvane.E2E.Signature "$marker"
TORVANE_CLAMD_PORT=$CLAMD_PORT TORVANE_CLAMD_MARKER=$marker TORVANE_CLAMD_SIGNATURE=Torvane.E2E.Signature.UNOFFICIAL \
  "$1" "$2" --gtest_filter='EngineE2e.*'

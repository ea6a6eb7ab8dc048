#!/usr/bin/env bash
# The soak: Torvane on the Wine desktop for MINUTES (default 10) with the reference driver, files
# written into its watched folder at a steady rate while a user works the tray menu, the sheet and
# the alert (tests/bench/soak.cpp). Prints its figures and fails when a detection was lost, the
# program answered slowly or grew, a message box came up, or Exit did not end it with code 0.
# Usage: scripts/soak.sh [MINUTES]
#   SOAK_BUILD=<folder>   x86_64 build to use (default build/x86_64, as scripts/build.sh makes it)
# Do not run the build's tests in the same folder meanwhile: they share its Wine prefix.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
minutes=${1:-10}
build=${SOAK_BUILD:-$top/build/x86_64}
[ -f "$build/build.ninja" ] || "$top/scripts/setup.sh"
"$top/scripts/build.sh" x86_64 >/dev/null
cmake --build "$build" --target soak Torvane TorvaneVxd >/dev/null
export TORVANE_BUILD="$build"
log="$build/soak.log"
echo "soak: $minutes minutes, log in $log"
status=0
xvfb-run -a -s "-screen 0 800x600x24" "$build/wine-exec" "$build/tests/bench/soak.exe" "$minutes" 2>&1 | tee "$log" || status=$?
WINEPREFIX="$build/wineprefix" /usr/lib/wine/wineserver -w || true
exit $status

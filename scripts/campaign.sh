#!/usr/bin/env bash
# The generated campaign: the anti-virus test file placed in at least a hundred ways (names, paths,
# depths, ways of arriving, from outside Wine and from a Windows program under it) into the folder
# that Torvane's reference driver watches, each beside a control; prints every placement the driver
# missed and fails when there is one (scripts/campaign.py says how).
# Usage: scripts/campaign.sh [SEED] [COUNT]
#        scripts/campaign.sh isolate [SEED]
#   SEED     the generator's seed, to repeat a run (default: from the clock; the run prints it)
#   COUNT    placements (default 120)
#   isolate  every value of every dimension alone, beside plain values of the others
#   CAMPAIGN_BUILD=<folder>  x86_64 build to use (default build/x86_64, as scripts/build.sh makes it)
# Do not run the build's tests in the same folder meanwhile: they share its Wine prefix.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${CAMPAIGN_BUILD:-$top/build/x86_64}
if [ ! -f "$build/build.ninja" ]; then
  "$top/scripts/setup.sh"
  cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE="$top/cmake/mingw-x86_64.cmake" >/dev/null
fi
cmake --build "$build" --target campaign_placer Torvane TorvaneVxd >/dev/null
export TORVANE_BUILD="$build"
args=(--build "$build")
if [ "${1:-}" = isolate ]; then
  args+=(--isolate)
  shift
else
  args+=(--count "${2:-120}")
fi
[ -z "${1:-}" ] || args+=(--seed "$1")
status=0
python3 "$top/scripts/campaign.py" "${args[@]}" 2>&1 | tee "$build/campaign.log" || status=$?
WINEPREFIX="$build/wineprefix" /usr/lib/wine/wineserver -w || true
exit $status

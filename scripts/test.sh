#!/usr/bin/env bash
# Sets up, builds every flavour and runs every test: the pure unit tests natively, again under
# AddressSanitizer and UndefinedBehaviorSanitizer with every fuzz target run over its seeds for a
# few seconds, then all tests of the x86_64 build under wine64 on a virtual screen. The i686 build
# (the Windows 95/98 program) has its imports and instructions checked against what Windows 95/98
# and their processors have, then runs under 32-bit Wine in prefixes of its own: its unit,
# in-process, end-to-end and installer tests (with the first-run walk) with Torvane as Windows 98,
# and the first-run walk of scripts/run.sh as Windows 95.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
scripts/setup.sh
scripts/build.sh native
scripts/build.sh native-asan
scripts/build.sh i686
scripts/build.sh x86_64

echo "== native unit tests"
(cd build/native && ctest --output-on-failure)

echo "== unit tests and fuzz regression runs under the sanitizers"
(cd build/native-asan && ctest --output-on-failure)

echo "== imports and instructions of the Windows 95/98 build"
(cd build/i686 && ctest -L win98 --output-on-failure)

echo "== Windows tests of the x86_64 build under wine64"
shots="$top/build/shots"
rm -rf "$shots" && mkdir -p "$shots"
(cd build/x86_64 && TORVANE_SHOTS="$shots" \
  xvfb-run -a -s "-screen 0 800x600x24" ctest --output-on-failure --timeout 600)

echo "== the Windows 95/98 build under 32-bit Wine, Torvane as Windows 98"
started=$SECONDS
(cd build/i686 && TORVANE_SHOTS="$shots/win98" \
  xvfb-run -a -s "-screen 0 800x600x24" ctest -LE win98 --output-on-failure --timeout 600)
echo "== the first-run walk, Torvane as Windows 95"
scripts/run.sh --win95
echo "the Windows 95/98 build's runs took $((SECONDS - started)) s"

for bmp in "$shots"/*.bmp "$shots"/win98/*.bmp; do
  [ -e "$bmp" ] || continue
  convert "$bmp" "${bmp%.bmp}.png" && rm -f "$bmp"
done
echo "screenshots of the tests: $shots"

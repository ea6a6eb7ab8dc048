#!/usr/bin/env bash
# Sets up, builds every flavour and runs every test: the pure unit tests natively, again under
# AddressSanitizer and UndefinedBehaviorSanitizer with every fuzz target run over its seeds for a
# few seconds, then all tests of the x86_64 build under wine64 on a virtual screen. The i686 build
# (the Windows 95/98 target) cannot run on this machine: it is compiled, linked, and its imports
# and instructions checked against what Windows 95/98 and their processors have.
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

echo "== Windows tests under wine64"
shots="$top/build/shots"
rm -rf "$shots" && mkdir -p "$shots"
(cd build/x86_64 && TORVANE_SHOTS="$shots" \
  xvfb-run -a -s "-screen 0 800x600x24" ctest --output-on-failure --timeout 600)
for bmp in "$shots"/*.bmp; do
  [ -e "$bmp" ] || continue
  convert "$bmp" "${bmp%.bmp}.png" && rm -f "$bmp"
done
echo "screenshots of the tests: $shots"

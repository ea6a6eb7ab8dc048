#!/usr/bin/env bash
# Configures and builds one flavour: native (pure logic and its unit tests), native-asan (the same
# with clang, AddressSanitizer and UndefinedBehaviorSanitizer, plus the libFuzzer targets), x86_64
# or i686.
# Usage: scripts/build.sh native|native-asan|x86_64|i686   (build folder: build/<flavour>)
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
flavour=${1:?native, native-asan, x86_64 or i686}
dir="$top/build/$flavour"
args=(-S "$top" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release)
case "$flavour" in
  native) ;;
  native-asan) args=(-S "$top" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTORVANE_SANITIZE=ON
                     -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++) ;;
  x86_64|i686) args+=(-DCMAKE_TOOLCHAIN_FILE="$top/cmake/mingw-$flavour.cmake") ;;
  *) echo "unknown flavour $flavour" >&2; exit 2 ;;
esac
toolchain="$top/cmake/mingw-$flavour.cmake"
# A changed toolchain file (another compiler) takes a fresh configuration; CMake keeps the old one.
if [ -f "$toolchain" ] && [ "$toolchain" -nt "$dir/CMakeCache.txt" ]; then
  rm -rf "$dir/CMakeCache.txt" "$dir/CMakeFiles" "$dir/build.ninja"
fi
[ -f "$dir/build.ninja" ] || cmake "${args[@]}" >/dev/null
cmake --build "$dir"

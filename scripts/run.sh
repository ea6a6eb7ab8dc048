#!/usr/bin/env bash
# Sets up, builds Torvane, installs it with its own installer into a private Wine prefix
# (build/run/wineprefix) and runs it from its program folder on a Wine virtual desktop with a
# taskbar.
#
# Usage: scripts/run.sh [--win98 | --win95] [--clamd] [--walk | --docs]
#   With $DISPLAY Torvane runs there until Exit in its tray menu. Without one (or with --walk) a
#   robot walks through the program's main job (tests/e2e/walk.cpp), leaves a picture of each step
#   in build/run/shots, prints what happened and ends Torvane, whose exit code must be 0.
#   --win98, --win95  the Windows 95/98 program (build/i686) under 32-bit Wine, run as Windows 98
#                or 95, in a prefix of its own (build/run/win98, build/run/win95) whose dialogs
#                have the MS Sans Serif font of those systems; pictures in build/run/shots-win98 or
#                build/run/shots-win95
#   --clamd      a ClamAV daemon of its own (scripts/clamd-local.sh) is the reference driver's engine
#   --docs       the walk on a virtual screen from the default settings, also taking the pictures
#                of README.md and docs/guide.md, which replace those in docs/
#   --test-file  saves the anti-virus test file into the Downloads folder, for a Torvane that runs
#                (with --win98 or --win95 for one that runs so)
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"

clamd=0 walk=0 docs=0 test_file=0 on_screen=0 windows=
for arg in "$@"; do
  case "$arg" in
    --win98|--win95) windows=${arg#--} ;;
    --clamd) clamd=1 ;;
    --walk) walk=1 ;;
    --docs) docs=1 walk=1 ;;
    --test-file) test_file=1 ;;
    --on-screen) on_screen=1 ;;   # this script again, on the virtual screen
    *) sed -n '2,/^set /p' "$0" | sed '$d; s/^# \{0,1\}//' >&2; exit 2 ;;
  esac
done

flavour=x86_64 shots="$top/build/run/shots"
export TORVANE_WINEPREFIX="$top/build/run/wineprefix"
if [ -n "$windows" ]; then
  flavour=i686 shots="$top/build/run/shots-$windows"
  export TORVANE_WINEPREFIX="$top/build/run/$windows" TORVANE_WINDOWS=$windows
fi
build="$top/build/$flavour"
# The README's pictures show the dialogs in the MS Sans Serif font, as Windows 95/98 draw them.
[ $docs = 0 ] || export TORVANE_DIALOG_FONT=1
wine_exec="$build/wine-exec"
walk_exe="$build/tests/e2e/walk.exe"
program_dir="$TORVANE_WINEPREFIX/drive_c/Program Files/Torvane"
clamd_dir="$top/build/run/clamd"
wineserver() { WINEPREFIX="$TORVANE_WINEPREFIX" /usr/lib/wine/wineserver "$@"; }

if [ $test_file = 1 ]; then
  [ -d "$program_dir" ] || { echo "run: Torvane is not installed yet: scripts/run.sh installs and starts it" >&2; exit 1; }
  marker=
  if [ -f "$clamd_dir/marker" ] && kill -0 "$(cat "$clamd_dir/clamd.pid" 2>/dev/null)" 2>/dev/null; then
    marker=$(cat "$clamd_dir/marker")
  fi
  TORVANE_CLAMD_MARKER=$marker "$wine_exec" "$walk_exe" --test-file | tr -d '\r'
  exit
fi

if [ $on_screen = 0 ]; then
  scripts/setup.sh
  scripts/build.sh $flavour
  if [ $docs = 1 ] || [ -z "${DISPLAY:-}" ]; then
    args=(--on-screen --walk ${windows:+--$windows})
    [ $docs = 0 ] || args+=(--docs)
    [ $clamd = 0 ] || args+=(--clamd)
    exec xvfb-run -a -s "-screen 0 800x600x24" "$0" "${args[@]}"
  fi
fi

wineserver -k 2>/dev/null || true   # no Torvane of an earlier run may still hold the driver
if [ $docs = 1 ]; then
  # The pictures show a fresh installation: the installer writes the default settings anew.
  "$wine_exec" reg delete 'HKLM\SOFTWARE\Brannholt\Torvane' /f >/dev/null 2>&1 || true
fi
echo "run: installing Torvane with build/$flavour/TorvaneSetup.exe /S${windows:+, run as ${windows/win/Windows }}"
"$wine_exec" "$build/TorvaneSetup.exe" /S
wineserver -w

# The driver's configuration beside it: none as installed (it watches drive C:), the engine with --clamd.
rm -f "$program_dir/Torvane.ini" "$clamd_dir/marker"
if [ $clamd = 1 ]; then
  # shellcheck source=scripts/clamd-local.sh
  source scripts/clamd-local.sh
  trap 'clamd_stop; rm -f "$clamd_dir/marker"' EXIT
  marker="TORVANE-RUN-SAMPLE-$RANDOM-$RANDOM-$$"
  clamd_start "$clamd_dir" Torvane.Run.Sample "$marker"
  echo "$marker" > "$clamd_dir/marker"
  printf '[Driver]\r\nEngine=clamd\r\nClamdPort=%s\r\n' "$CLAMD_PORT" > "$program_dir/Torvane.ini"
  export TORVANE_CLAMD_MARKER=$marker
  echo "run: a ClamAV daemon of its own on 127.0.0.1:$CLAMD_PORT is the driver's engine (it knows one sample, Torvane.Run.Sample)"
fi

if [ $walk = 0 ]; then
  echo "run: Torvane runs on $DISPLAY: its menu is on the shield in the taskbar's tray (Exit ends it); to see a detection, run scripts/run.sh --test-file in another terminal"
  status=0
  (cd "$program_dir" && "$wine_exec" 'C:\Program Files\Torvane\Torvane.exe') || status=$?
  wineserver -w
  echo "run: Torvane ended with exit code $status"
  exit $status
fi

rm -rf "$shots"
mkdir -p "$shots"
echo "run: a robot walks through Torvane's main job (tests/e2e/walk.cpp)"
started=$SECONDS
status=0
args=()
[ $docs = 0 ] || args+=(--docs)
TORVANE_SHOTS="$shots" "$wine_exec" "$walk_exe" "${args[@]}" 'C:\Program Files\Torvane' | tr -d '\r' > "$shots/walk.log" ||
  status=$?
wineserver -w
took=$((SECONDS - started))
for bmp in "$shots"/*.bmp "$shots"/docs/*.bmp; do
  [ -e "$bmp" ] || continue
  convert "$bmp" -strip "${bmp%.bmp}.png" && rm -f "$bmp"   # no date inside: a picture that did not change stays the same file
done
grep -v '^summary: ' "$shots/walk.log" || true
echo "run: pictures of each step in $shots: $(cd "$shots" && ls -- [0-9]*.png 2>/dev/null | tr '\n' ' ')"
summary=$(sed -n 's/^summary: //p' "$shots/walk.log")
if [ $status != 0 ] || [ -z "$summary" ]; then
  echo "run: the walk failed after $took s (exit code $status)${summary:+: $summary}"
  exit 1
fi
if [ $docs = 1 ]; then
  cp "$shots"/docs/*.png docs/
  echo "run: docs/ pictures replaced: $(cd "$shots/docs" && ls -- *.png | tr '\n' ' ')"
fi
echo "run: $summary (the walk took $took s)"

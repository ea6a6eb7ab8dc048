#!/usr/bin/env bash
# Measures the reference driver and prints each figure beside its floor, measured in the same run:
#   - built-in rule: scan throughput over about 200 MB of mixed files, beside grep -F -c of the
#     test string over the same files;
#   - ClamAV engine: the driver sending every file to a private clamd, beside clamdscan --stream
#     over the same files and the same daemon;
#   - detection latency end to end, from a test file's write to its row in the virus alert,
#     median and worst of 100.
# Usage: scripts/bench-driver.sh   (BENCH_BUILD=<folder>: the x86_64 build, default build/x86_64)
# The programs run under wine64 in the build's own prefix on a virtual screen; do not run the
# build's tests in the same folder meanwhile.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=$(mkdir -p "${BENCH_BUILD:-$top/build/x86_64}" && cd "${BENCH_BUILD:-$top/build/x86_64}" && pwd)
export TORVANE_BUILD="$build"
export LC_ALL=C
MIXED_MB=200
LATENCY_COUNT=100

if [ ! -f "$build/build.ninja" ]; then
  cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE="$top/cmake/mingw-x86_64.cmake" >/dev/null
fi
cmake --build "$build" --target Torvane TorvaneVxd scan_bench latency_bench -- -j2 >/dev/null

out="$build/bench-driver"
rm -rf "$out" && mkdir -p "$out"
results="$out/results.txt"
: > "$results"
area="$build/wineprefix/drive_c/torvane-bench-driver"   # C:\torvane-bench-driver under Wine
rm -rf "$area" && mkdir -p "$area/staging"
win_area='C:\torvane-bench-driver'
benches="$build/tests/bench"

# ---- The files: mixed sizes and kinds, made the same way on every run ----------------------------
python3 - "$area/staging" "$MIXED_MB" <<'PY'
import os, random, sys, zipfile
folder, total = sys.argv[1], int(sys.argv[2]) << 20
rng = random.Random(1999)
words = b"the quick brown fox jumps over a lazy dog while scanning every file it meets".split()
def text(n):
    out = bytearray()
    while len(out) < n:
        out += b" ".join(rng.choice(words) for _ in range(12)) + b"\r\n"
    return bytes(out[:n])
made, i = 0, 0
kinds = [("txt", lambda: text(rng.randint(1, 32) << 10)),
         ("exe", lambda: os.urandom(rng.randint(64, 512) << 10)),
         ("doc", lambda: text(rng.randint(32, 256) << 10)),
         ("dat", lambda: os.urandom(rng.randint(2, 8) << 20))]
while made < total - (8 << 20):
    ext, make = kinds[0] if i % 10 < 6 else kinds[1] if i % 10 < 8 else kinds[2] if i % 20 < 19 else kinds[3]
    data = make()
    with open(os.path.join(folder, "file%05d.%s" % (i, ext)), "wb") as f:
        f.write(data)
    made += len(data)
    i += 1
    if i % 100 == 0:
        with zipfile.ZipFile(os.path.join(folder, "archive%05d.zip" % i), "w", zipfile.ZIP_DEFLATED) as z:
            for m in range(5):
                z.writestr("part%d/member%d.txt" % (m, m), text(64 << 10))
        made += os.path.getsize(os.path.join(folder, "archive%05d.zip" % i))
PY
"$build/wine-exec" "$benches/scan_bench.exe" prepare "$win_area\\staging" "$win_area\\pattern.txt"
files=$(find "$area/staging" -type f | wc -l)
mb=$(du -sm "$area/staging" | cut -f1)
echo "RESULT files count=$files mb=$mb" >> "$results"

# ms_of <command...>: wall time of the command in ms (its output to $out/floor.txt)
ms_of() {
  local start end
  start=${EPOCHREALTIME/./}
  "$@" >> "$out/floor.txt" 2>&1 || true
  end=${EPOCHREALTIME/./}
  echo $(( (end - start) / 1000 ))
}

# ---- Built-in rule beside grep ----------------------------------------------------------------------
cat "$area/staging"/* > /dev/null   # both start from a warm cache
grep_ms=$(ms_of grep -F -c -r -f "$area/pattern.txt" "$area/staging")
grep_hits=$(grep -F -l -r -f "$area/pattern.txt" "$area/staging" | wc -l)
echo "RESULT floor_grep ms=$grep_ms files_with_string=$grep_hits" >> "$results"
xvfb-run -a -s "-screen 0 800x600x24" "$build/wine-exec" "$benches/scan_bench.exe" \
  "$win_area\\staging" "$win_area\\watched" builtin | tee -a "$results"

# ---- ClamAV engine beside clamdscan --stream ---------------------------------------------------------
# shellcheck source=scripts/clamd-local.sh
source "$top/scripts/clamd-local.sh"
trap clamd_stop EXIT
clamd_start "$out/clamd" "Torvane.Bench.Signature" "TORVANE-BENCH-SIGNATURE-$RANDOM$RANDOM"
find "$area/staging" -type f > "$out/files.txt"
clamdscan_ms=$(ms_of clamdscan -c "$out/clamd/clamd.conf" --stream --no-summary --file-list="$out/files.txt")
echo "RESULT floor_clamdscan ms=$clamdscan_ms found=$(grep -c ' FOUND$' "$out/floor.txt" || true)" >> "$results"
xvfb-run -a -s "-screen 0 800x600x24" "$build/wine-exec" "$benches/scan_bench.exe" \
  "$win_area\\staging" "$win_area\\watched-clamd" clamd "$CLAMD_PORT" | tee -a "$results"
clamd_stop

# ---- Detection latency end to end -------------------------------------------------------------------
xvfb-run -a -s "-screen 0 800x600x24" "$build/wine-exec" "$benches/latency_bench.exe" "$LATENCY_COUNT" | tee -a "$results"
WINEPREFIX="$build/wineprefix" /usr/lib/wine/wineserver -w || true

# ---- The table ---------------------------------------------------------------------------------------
field() {
  local line
  line=$(grep -m1 "^RESULT $1 " "$results" || true)
  [[ " $line " =~ \ $2=([^ ]*)\  ]] && echo "${BASH_REMATCH[1]}" || echo "?"
}
rate() { awk -v mb="$1" -v ms="$2" 'BEGIN { if (ms > 0) printf "%.1f", mb / (ms / 1000); else print "?" }'; }
{
  echo
  echo "Torvane driver bench, $(date '+%Y-%m-%d %H:%M'): $(nproc) cores, $(/usr/lib/wine/wine64 --version), load average $(cut -d' ' -f1-3 /proc/loadavg)"
  echo "Files: $(field files count), $(field files mb) MB (text, binary, documents, ZIP archives, test files plain and inside archives)"
  echo
  printf '%-44s %-34s %s\n' "Measure" "Driver" "Floor, same files, same run"
  printf '%-44s %-34s %s\n' "Built-in rule, throughput" \
    "$(field scan_builtin mb_per_s) MB/s ($(field scan_builtin ms) ms, $(field scan_builtin infected) found)" \
    "grep -F -c: $(rate "$(field files mb)" "$(field floor_grep ms)") MB/s ($(field floor_grep ms) ms, $(field floor_grep files_with_string) files)"
  printf '%-44s %-34s %s\n' "ClamAV engine, throughput" \
    "$(field scan_clamd mb_per_s) MB/s ($(field scan_clamd ms) ms, $(field scan_clamd infected) found)" \
    "clamdscan --stream: $(rate "$(field files mb)" "$(field floor_clamdscan ms)") MB/s ($(field floor_clamdscan ms) ms)"
  printf '%-44s %s\n' "Write to alert row, $(field latency count) detections" \
    "median $(field latency median_ms) ms, worst $(field latency worst_ms) ms, best $(field latency best_ms) ms"
} | tee "$out/table.txt"

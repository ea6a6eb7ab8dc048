#!/usr/bin/env bash
# Measures the reference driver and prints each figure beside its floor, measured in the same run:
#   - built-in rule: scan throughput (MB and files per second) over about 200 MB of mixed files,
#     beside a bare program that watches a folder as the driver does and reads each file arriving
#     (tests/bench/watch_floor.cpp), and grep -F -c of the test string for context;
#   - ClamAV engine: the driver sending every file to a private clamd, beside clamdscan --stream
#     over the same files and the same daemon;
#   - detection latency end to end, from a test file's write to its row in the virus alert,
#     median and worst of 100;
#   - scale (only when named): a burst of 100,000 small files (BENCH_SCALE_FILES) in 400 folders,
#     100 of them test files at random places, moved into a watched folder at once, with the built-in
#     rule and with the ClamAV engine, beside the bare watcher reading the same files: the time until
#     every file was scanned, the processor time and the peak memory; from the driver's journal,
#     every file scanned once, every test file dealt with, the overflows and rescans; and meanwhile
#     how soon a test file written into a second watched folder is dealt with.
# Throughputs are measured in rounds (three, or BENCH_ROUNDS), floor and driver in turn; each figure
# is the median, and each ratio is given twice: of the medians, and round by round (the median of
# the rounds' own ratios, which a load that comes and goes moves least).
# The files arrive as a copy from another program would: renamed into the watched folder one by
# one by a mover outside Wine, timed by its own clock from the first rename. (Moved by the bench
# program itself, every move is several calls into the Wine server, which the driver and the bare
# watcher then wait behind, and a second program's load on the one free core: the bench's own
# cost, where clamdscan's floor has none.)
# Usage: scripts/bench-driver.sh [busy] [builtin] [clamd] [latency] [scale]
#   busy: a process spins on the other core the whole time, floors and driver alike (the figures
#   of a machine doing something else as well); the parts named, or the first three, are measured.
#   BENCH_MOVER=wine: the bench programs move the files in themselves, under Wine, as before.
#   BENCH_ROUNDS=<n>: rounds of each throughput (3).
#   BENCH_BUILD=<folder>: the x86_64 build, default build/x86_64.
# The programs run under wine64 in the build's own prefix on a virtual screen; do not run the
# build's tests in the same folder meanwhile.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=$(mkdir -p "${BENCH_BUILD:-$top/build/x86_64}" && cd "${BENCH_BUILD:-$top/build/x86_64}" && pwd)
export TORVANE_BUILD="$build"
export LC_ALL=C
MIXED_MB=200
LATENCY_COUNT=100
ROUNDS=${BENCH_ROUNDS:-3}   # floor and driver measured in turns, each figure the median of its rounds
busy=0
parts=""
for arg in "$@"; do
  case $arg in
    busy) busy=1 ;;
    builtin|clamd|latency|scale) parts="$parts $arg" ;;
    *) echo "bench-driver: unknown argument $arg" >&2; exit 2 ;;
  esac
done
[ -n "$parts" ] || parts=" builtin clamd latency"
wants() { [[ " $parts " == *" $1 "* ]]; }

if [ ! -f "$build/build.ninja" ]; then
  cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE="$top/cmake/mingw-x86_64.cmake" >/dev/null
fi
cmake --build "$build" --target Torvane TorvaneVxd scan_bench scale_bench latency_bench watch_floor stream_floor -- -j2 >/dev/null

out="$build/bench-driver"
rm -rf "$out" && mkdir -p "$out"
results="$out/results.txt"
: > "$results"
area="$build/wineprefix/drive_c/torvane-bench-driver"   # C:\torvane-bench-driver under Wine
rm -rf "$area" && mkdir -p "$area/staging"
win_area='C:\torvane-bench-driver'
benches="$build/tests/bench"

# ---- The files: mixed sizes and kinds, made the same way on every run ----------------------------
if wants builtin || wants clamd; then
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
fi

# ms_of <command...>: wall time of the command in ms (its output to $out/floor.txt)
ms_of() {
  local start end
  start=${EPOCHREALTIME/./}
  "$@" >> "$out/floor.txt" 2>&1 || true
  end=${EPOCHREALTIME/./}
  echo $(( (end - start) / 1000 ))
}

# watching <bench program> <staging> <watched> <args...>: runs a bench program that watches the
# watched folder, and moves the staged files into it from outside Wine once the program is ready.
watching() {
  local program=$1 staging=$2 watched=$3
  shift 3
  local unix_watched="$area/${watched##*\\}"
  if [ "${BENCH_MOVER:-outside}" = wine ]; then
    xvfb-run -a -s "-screen 0 800x600x24" "$build/wine-exec" "$program" "$staging" "$watched" "$@"
    return
  fi
  rm -f "$unix_watched.ready" "$unix_watched.clock"
  xvfb-run -a -s "-screen 0 800x600x24" "$build/wine-exec" "$program" --outside "$staging" "$watched" "$@" &
  local pid=$!
  while [ ! -e "$unix_watched.ready" ] && kill -0 $pid 2>/dev/null; do sleep 0.01; done
  if [ -e "$unix_watched.ready" ]; then
    python3 - "$area/staging" "$unix_watched" <<'PY'
import os, sys, time
staging, watched = sys.argv[1], sys.argv[2]
names = [n for n in sorted(os.listdir(staging)) if os.path.isfile(os.path.join(staging, n))]
first = time.time_ns() // 1000
for name in names:
    os.rename(os.path.join(staging, name), os.path.join(watched, name))
last = time.time_ns() // 1000
with open(watched + ".clock.new", "w") as clock:
    clock.write("%d %d\n" % (first, last))
os.rename(watched + ".clock.new", watched + ".clock")
PY
  fi
  wait $pid
}

# rounds <tag>: keeps, of the rounds' "RESULT <tag> ... ms=<n> ..." lines in $out/rounds.txt, the
# one of median ms, in the results.
median_round() {
  grep "^RESULT $1 " "$out/rounds.txt" | awk '{ for (i = 3; i <= NF; i++) if ($i ~ /^ms=/) print substr($i, 4), $0 }' \
    | sort -n | awk '{ line[NR] = $0 } END { if (NR > 0) { sub(/^[^ ]* /, "", line[int((NR + 1) / 2)]); print line[int((NR + 1) / 2)] } }' \
    >> "$results"
}
: > "$out/rounds.txt"

# ---- The other core busy: one process spinning, pinned where the machine lets it -----------------
spinner=
stop_spinner() { [ -z "$spinner" ] || { kill "$spinner" 2>/dev/null || true; wait "$spinner" 2>/dev/null || true; spinner=; }; }
trap stop_spinner EXIT
if [ $busy = 1 ]; then
  if command -v taskset >/dev/null && [ "$(nproc)" -gt 1 ]; then
    taskset -c $(( $(nproc) - 1 )) bash -c 'while :; do :; done' &
  else
    bash -c 'while :; do :; done' &
  fi
  spinner=$!
fi

# ---- Built-in rule beside a bare watcher that reads every file, and grep for context ------------
if wants builtin; then
cat "$area/staging"/* > /dev/null   # all start from a warm cache
grep_ms=$(ms_of grep -F -c -r -f "$area/pattern.txt" "$area/staging")
grep_hits=$(grep -F -l -r -f "$area/pattern.txt" "$area/staging" | wc -l)
echo "RESULT floor_grep ms=$grep_ms files_with_string=$grep_hits" >> "$results"
for round in $(seq "$ROUNDS"); do
  watching "$benches/watch_floor.exe" "$win_area\\staging" "$win_area\\watched-floor-$round" | tee -a "$out/rounds.txt"
  watching "$benches/scan_bench.exe" "$win_area\\staging" "$win_area\\watched-$round" builtin | tee -a "$out/rounds.txt"
done
median_round floor_watch
median_round scan_builtin
fi

# ---- ClamAV engine beside clamdscan --stream ---------------------------------------------------------
if wants clamd; then
# shellcheck source=scripts/clamd-local.sh
source "$top/scripts/clamd-local.sh"
trap 'clamd_stop; stop_spinner' EXIT
clamd_start "$out/clamd" "Torvane.Bench.Signature" "TORVANE-BENCH-SIGNATURE-$RANDOM$RANDOM"
find "$area/staging" -type f > "$out/files.txt"
# The daemon's first scan after it starts takes twice as long: one pass, not measured, warms it for
# the floor and the driver alike.
clamdscan -c "$out/clamd/clamd.conf" --stream --no-summary --file-list="$out/files.txt" > /dev/null 2>&1 || true
for round in $(seq "$ROUNDS"); do
  : > "$out/floor.txt"
  clamdscan_ms=$(ms_of clamdscan -c "$out/clamd/clamd.conf" --stream --no-summary --file-list="$out/files.txt")
  echo "RESULT floor_clamdscan ms=$clamdscan_ms found=$(grep -c ' FOUND$' "$out/floor.txt" || true)" | tee -a "$out/rounds.txt"
  watching "$benches/scan_bench.exe" "$win_area\\staging" "$win_area\\watched-clamd-$round" clamd "$CLAMD_PORT" \
    | tee -a "$out/rounds.txt"
  xvfb-run -a -s "-screen 0 800x600x24" "$build/wine-exec" "$benches/stream_floor.exe" "$win_area\\staging" "$CLAMD_PORT" \
    | tee -a "$out/rounds.txt"
done
median_round floor_clamdscan
median_round scan_clamd
median_round floor_stream
clamd_stop
fi

# ---- A burst larger than the scan queue ---------------------------------------------------------------
# The files are made once, then hard-linked into a fresh copy for each run, which the mover empties into
# the watched folder as an unpacker fills one: a folder made, then its files, folder after folder.
SCALE_FILES=${BENCH_SCALE_FILES:-100000}
SCALE_FOLDERS=400
SCALE_TESTS=100
scale_move() {   # scale_move <run copy> <watched>: moves it all in, writes <watched>.clock
  python3 - "$1" "$2" <<'PY'
import os, sys, time
run, watched = sys.argv[1], sys.argv[2]
plan = [(d, sorted(os.listdir(os.path.join(run, d)))) for d in sorted(os.listdir(run))]
first = time.time_ns() // 1000
for folder, names in plan:
    os.mkdir(os.path.join(watched, folder))
    for name in names:
        os.rename(os.path.join(run, folder, name), os.path.join(watched, folder, name))
last = time.time_ns() // 1000
with open(watched + ".clock.new", "w") as clock:
    clock.write("%d %d\n" % (first, last))
os.rename(watched + ".clock.new", watched + ".clock")
PY
}
scale_watching() {   # scale_watching <tag> <program and its arguments...>
  local tag=$1
  shift
  local watched="$area/scale-$tag"
  rm -rf "$watched" "$watched-probe" "$watched-driver" "$watched.ready" "$watched.clock" "$area/scale-run"
  cp -al "$area/scale-files" "$area/scale-run"
  xvfb-run -a -s "-screen 0 800x600x24" "$build/wine-exec" "$@" &
  local pid=$!
  while [ ! -e "$watched.ready" ] && kill -0 $pid 2>/dev/null; do sleep 0.01; done
  [ ! -e "$watched.ready" ] || scale_move "$area/scale-run" "$watched"
  wait $pid || true
}
scale_check() {   # scale_check <engine>: what the journal and the folder say of the run
  python3 - "$area/scale-files.list" "$area/scale-$1-driver/journal.txt" "$area/scale-$1" "$win_area\\scale-$1\\" "$1" <<'PY'
import collections, os, sys
listing, journal, watched, prefix, engine = sys.argv[1:]
files = [line.rstrip("\n").split("\t") for line in open(listing)]
scans, found = collections.Counter(), set()
overflows = queue_full = 0
for line in open(journal, encoding="latin-1"):
    line = line.rstrip("\r\n")
    if line.startswith("SCAN " + prefix):
        scans[line[5 + len(prefix):]] += 1
    elif line.startswith("DETECT " + prefix):
        found.add(line[7 + len(prefix):])
    elif line.startswith("WATCH ") and line.endswith(" overflow"):
        overflows += 1
    elif line.startswith("QUEUE full"):
        queue_full += 1
key = lambda rel: rel.replace("/", "\\")
once = sum(1 for rel, _ in files if scans[key(rel)] == 1)
more = sum(1 for rel, _ in files if scans[key(rel)] > 1)
missing = [rel for rel, _ in files if scans[key(rel)] == 0]
tests = [rel for rel, test in files if test == "1"]
tests_found = sum(1 for rel in tests if key(rel) in found)
renamed = sum(1 for rel in tests if not os.path.exists(os.path.join(watched, rel))
              and os.path.exists(os.path.join(watched, rel[:-4] + ".Vom")))
print("RESULT scale_journal_%s files=%d once=%d more=%d missing=%d tests=%d found=%d renamed=%d overflows=%d queue_full=%d%s"
      % (engine, len(files), once, more, len(missing), len(tests), tests_found, renamed, overflows, queue_full,
         (" first_missing=" + missing[0]) if missing else ""))
PY
}
if wants scale; then
mkdir -p "$area/scale-pattern"
"$build/wine-exec" "$benches/scan_bench.exe" prepare "$win_area\\scale-pattern" "$win_area\\scale-pattern.txt"
rm -rf "$area/scale-files" && mkdir -p "$area/scale-files"
python3 - "$area/scale-files" "$area/scale-files.list" "$area/scale-pattern.txt" "$SCALE_FILES" "$SCALE_FOLDERS" "$SCALE_TESTS" <<'PY'
import os, random, sys
root, listing, pattern = sys.argv[1:4]
count, folders, tests = map(int, sys.argv[4:7])
rng = random.Random(2000)
test = open(pattern, "rb").read() + b"\r\n"
chosen = set(rng.sample(range(count), tests))
per = (count + folders - 1) // folders
with open(listing, "w") as out:
    for i in range(count):
        folder = "d%03d" % (i // per)
        if i % per == 0:
            os.mkdir(os.path.join(root, folder))
        name = "f%06d.%s" % (i, "com" if i in chosen else rng.choice(["txt", "dat", "htm"]))
        data = test if i in chosen else rng.randbytes(rng.randint(64, 4096))
        with open(os.path.join(root, folder, name), "wb") as f:
            f.write(data)
        out.write("%s/%s\t%d\n" % (folder, name, i in chosen))
PY
scale_watching floor "$benches/watch_floor.exe" --scale "$SCALE_FILES" "$win_area\\scale-floor" | tee -a "$results"
scale_watching builtin "$benches/scale_bench.exe" "$win_area\\scale-builtin" "$win_area\\scale-builtin-probe" \
  "$SCALE_FILES" builtin | tee "$out/probes-builtin.txt" | grep -v '^PROBE' | tee -a "$results"
scale_check builtin | tee -a "$results"
# shellcheck source=scripts/clamd-local.sh
source "$top/scripts/clamd-local.sh"
trap 'clamd_stop; stop_spinner' EXIT
clamd_start "$out/clamd-scale" "Torvane.Bench.Signature" "TORVANE-BENCH-SIGNATURE-$RANDOM$RANDOM"
scale_watching clamd "$benches/scale_bench.exe" "$win_area\\scale-clamd" "$win_area\\scale-clamd-probe" \
  "$SCALE_FILES" clamd "$CLAMD_PORT" | tee "$out/probes-clamd.txt" | grep -v '^PROBE' | tee -a "$results"
clamd_stop
scale_check clamd | tee -a "$results"
rm -rf "$area/scale-run" "$area/scale-floor" "$area/scale-builtin" "$area/scale-clamd"
fi

# ---- Detection latency end to end -------------------------------------------------------------------
if wants latency; then
xvfb-run -a -s "-screen 0 800x600x24" "$build/wine-exec" "$benches/latency_bench.exe" "$LATENCY_COUNT" | tee -a "$results"
fi
WINEPREFIX="$build/wineprefix" /usr/lib/wine/wineserver -w || true
stop_spinner

# ---- The table ---------------------------------------------------------------------------------------
field() {
  local line
  line=$(grep -m1 "^RESULT $1 " "$results" || true)
  [[ " $line " =~ \ $2=([^ ]*)\  ]] && echo "${BASH_REMATCH[1]}" || echo "?"
}
rate() { awk -v mb="$1" -v ms="$2" 'BEGIN { if (ms > 0) printf "%.1f", mb / (ms / 1000); else print "?" }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (a + 0 > 0 && b + 0 > 0) printf "%.2f", a / b; else print "?" }'; }
# paired <floor tag> <driver tag>: the median, over the rounds, of the floor's ms over the driver's
# in the same round. Floor and driver run seconds apart, so a load that comes and goes on the
# machine moves both; the medians of each alone can come from different rounds.
paired() {
  awk -v floor="$1" -v driver="$2" '
    $1 == "RESULT" && ($2 == floor || $2 == driver) {
      for (i = 3; i <= NF; i++) if ($i ~ /^ms=/) ms = substr($i, 4)
      if ($2 == floor) f[++nf] = ms; else d[++nd] = ms
    }
    END {
      n = 0
      for (i = 1; i <= nf && i <= nd; i++) if (d[i] > 0) r[++n] = f[i] / d[i]
      if (n == 0) { print "?"; exit }
      for (i = 1; i <= n; i++) for (j = i + 1; j <= n; j++) if (r[j] < r[i]) { t = r[i]; r[i] = r[j]; r[j] = t }
      printf "%.2f", n % 2 ? r[(n + 1) / 2] : (r[n / 2] + r[n / 2 + 1]) / 2
    }' "$out/rounds.txt"
}
# rounds_of <floor tag> <driver tag>: the floor's ms over the driver's, round by round, in order.
rounds_of() {
  awk -v floor="$1" -v driver="$2" '
    $1 == "RESULT" && ($2 == floor || $2 == driver) {
      for (i = 3; i <= NF; i++) if ($i ~ /^ms=/) ms = substr($i, 4)
      if ($2 == floor) f[++nf] = ms; else d[++nd] = ms
    }
    END { for (i = 1; i <= nf && i <= nd; i++) if (d[i] > 0) printf "%s%.2f", (i > 1 ? " " : ""), f[i] / d[i] }' "$out/rounds.txt"
}
{
  echo
  echo "Torvane driver bench, $(date '+%Y-%m-%d %H:%M'): $(nproc) cores, $(/usr/lib/wine/wine64 --version), load average $(cut -d' ' -f1-3 /proc/loadavg)$([ $busy = 0 ] || echo ", the other core busy")"
  if wants builtin || wants clamd; then
    echo "Files: $(field files count), $(field files mb) MB (text, binary, documents, ZIP archives, test files plain and inside archives)"
  fi
  echo
  printf '%-36s %-40s %s\n' "Measure" "Driver" "Floor, same files, same run"
  if wants builtin; then
    printf '%-36s %-40s %s\n' "Built-in rule, throughput" \
      "$(field scan_builtin mb_per_s) MB/s ($(field scan_builtin ms) ms, $(field scan_builtin infected) found)" \
      "bare watcher reading each file: $(field floor_watch mb_per_s) MB/s ($(field floor_watch ms) ms), driver $(ratio "$(field scan_builtin mb_per_s)" "$(field floor_watch mb_per_s)")x, round by round $(paired floor_watch scan_builtin)x ($(rounds_of floor_watch scan_builtin))"
    printf '%-36s %-40s %s\n' "Built-in rule, files per second" "$(field scan_builtin files_per_s)" \
      "bare watcher: $(field floor_watch files_per_s), driver $(ratio "$(field scan_builtin files_per_s)" "$(field floor_watch files_per_s)")x"
    printf '%-36s %-40s %s\n' "" "" \
      "context, grep -F -c: $(rate "$(field files mb)" "$(field floor_grep ms)") MB/s ($(field floor_grep ms) ms, $(field floor_grep files_with_string) files)"
  fi
  if wants clamd; then
    floor_rate=$(rate "$(field files mb)" "$(field floor_clamdscan ms)")
    printf '%-36s %-40s %s\n' "ClamAV engine, throughput" \
      "$(field scan_clamd mb_per_s) MB/s ($(field scan_clamd ms) ms, $(field scan_clamd infected) found)" \
      "clamdscan --stream: $floor_rate MB/s ($(field floor_clamdscan ms) ms), driver $(ratio "$(field scan_clamd mb_per_s)" "$floor_rate")x, round by round $(paired floor_clamdscan scan_clamd)x"
    printf '%-36s %-40s %s\n' "" "" \
      "a bare client under Wine: $(field floor_stream mb_per_s) MB/s ($(field floor_stream ms) ms), $(ratio "$(field floor_stream mb_per_s)" "$floor_rate")x of clamdscan; driver $(ratio "$(field scan_clamd mb_per_s)" "$(field floor_stream mb_per_s)")x of it, round by round $(paired floor_stream scan_clamd)x ($(rounds_of floor_stream scan_clamd))"
    printf '%-36s %-40s %s\n' "ClamAV engine, processor time" "$(field scan_clamd cpu_ms) ms" \
      "bare client: $(field floor_stream cpu_ms) ms, driver $(ratio "$(field scan_clamd cpu_ms)" "$(field floor_stream cpu_ms)")x"
  fi
  if wants scale; then
    for engine in builtin clamd; do
      printf '%-36s %-40s %s\n' "Burst of $(field scale_$engine files) files, $engine" \
        "$(field scale_$engine ms) ms, $(field scale_$engine cpu_ms) ms processor, peak $(field scale_$engine peak_mb) MB" \
        "bare watcher: $(field floor_scale ms) ms, $(field floor_scale cpu_ms) ms processor, peak $(field floor_scale peak_mb) MB"
      printf '%-36s %s\n' "" "journal: $(field scale_journal_$engine once) scanned once, $(field scale_journal_$engine more) more than once, $(field scale_journal_$engine missing) missing; $(field scale_journal_$engine found) of $(field scale_journal_$engine tests) test files found; queue full $(field scale_journal_$engine queue_full), watch overflows $(field scale_journal_$engine overflows)"
      printf '%-36s %s\n' "" "written beside it: $(field scale_probe_$engine count), median $(field scale_probe_$engine median_ms) ms, worst $(field scale_probe_$engine worst_ms) ms, $(field scale_probe_$engine over_2s) over 2 s"
    done
  fi
  if wants latency; then
    printf '%-36s %s\n' "Write to alert row, $(field latency count) detections" \
      "median $(field latency median_ms) ms, worst $(field latency worst_ms) ms, best $(field latency best_ms) ms"
  fi
} | tee "$out/table.txt"

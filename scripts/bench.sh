#!/usr/bin/env bash
# Measures Torvane and prints a table: start-up time, program sizes, CPU time idle (beside an idle
# floor) and while files are written into a watched folder, a burst of detections in the virus
# alert, and the property sheet (the Properties command until the sheet is painted, beside a floor;
# CPU time while it stays open).
# Usage: scripts/bench.sh [--busy] [all|sheet|info|idle|burst] [idle seconds]
#   sheet: only the property sheet's figures and their floor
#   info:  only the CPU time while files are written with the Information page open, beside the same
#          with the sheet closed
#   idle:  only the CPU time idle (Watch=none and Watch=C:\) beside the idle floor
#   burst: only the bursts of detections
#   --busy: a process spins on the second core throughout, floors and figures alike
#   idle seconds: how long each idle figure is measured (default 120; the process's CPU time is
#          counted in 10 ms ticks, so a short run only suits a quick look)
#   BENCH_BUILD=<folder>       x86_64 build to measure (default build/x86_64, as scripts/build.sh)
#   BENCH_BUILD_I686=<folder>  i686 build for the sizes (default build/i686; only for all)
#   BENCH_BASE=<folder>        another x86_64 build (say, of an older commit): the bursts are run
#                              with its Torvane.exe and Torvane.VXD too, in turn with this build's
#   BENCH_RUNS=<n>             starts per start-up figure, openings of the sheet (default 10)
#   BENCH_BURST_RUNS=<n>       bursts of each build, whose medians the table gives (default 3)
# Each build is configured (Release) when it has not been yet. The programs run under wine64 in the
# build's own prefix on a virtual screen; do not run the build's tests in the same folder meanwhile.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
absolute() { mkdir -p "$1" && (cd "$1" && pwd); }
build=$(absolute "${BENCH_BUILD:-$top/build/x86_64}")
build32=$(absolute "${BENCH_BUILD_I686:-$top/build/i686}")
base=""
[ -n "${BENCH_BASE:-}" ] && base=$(cd "$BENCH_BASE" && pwd)
runs=${BENCH_RUNS:-10}
burst_runs=${BENCH_BURST_RUNS:-3}
inner=0
if [ "${1:-}" = "--measure" ]; then inner=1; shift; fi
busy=0
if [ "${1:-}" = "--busy" ]; then busy=1; shift; fi
mode=${1:-all}
IDLE_SECONDS=${2:-120}
out="$build/bench"
results="$out/results.txt"
export TORVANE_BUILD="$build"
export TORVANE_WINEPREFIX="$build/wineprefix"   # the wine-exec wrapper's prefix, named so we can find its processes
export LC_ALL=C

LOAD_SECONDS=60
LOAD_RATE=100           # files a second
INFO_SECONDS=30         # files written with the Information page open, and as long with it closed
BURST=1000

# ---- Building and sizes (outside the virtual screen) ------------------------------------------

# build_flavour <folder> <flavour> <target...>
build_flavour() {
  local dir=$1 flavour=$2
  shift 2
  if [ ! -f "$dir/build.ninja" ]; then
    cmake -S "$top" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release \
      -DCMAKE_TOOLCHAIN_FILE="$top/cmake/mingw-$flavour.cmake" >/dev/null
  fi
  cmake --build "$dir" --target "$@" -- -j2 >/dev/null
}

# size_row <label> <file> <tool prefix> <trailer bytes>: size as built, symbols, size once stripped
size_row() {
  local label=$1 file=$2 tools=$3 trailer=$4 size stripped symbols tmp
  size=$(stat -c %s "$file")
  tmp=$(mktemp)
  "$tools-strip" -o "$tmp" "$file"
  stripped=$(( $(stat -c %s "$tmp") + trailer ))   # strip drops the driver's trailer; count it back
  rm -f "$tmp"
  symbols=no
  [ "$("$tools-nm" "$file" 2>/dev/null | wc -l)" -gt 0 ] && symbols=yes
  echo "RESULT size $label bytes=$size symbols=$symbols stripped=$stripped" >> "$results"
}

# ---- Measuring (inside the virtual screen) ----------------------------------------------------

hz=$(getconf CLK_TCK)
prefix="$TORVANE_WINEPREFIX"
drive_c="$prefix/drive_c"
benches="$build/tests/bench"

# pid_of <glob>: the process of our prefix whose command line matches glob (Wine shows the Windows
# command line there; environ tells whose prefix it is).
pid_of() {
  local p cmd
  for p in /proc/[0-9]*; do
    cmd=$(tr '\0' ' ' 2>/dev/null < "$p/cmdline") || continue
    # shellcheck disable=SC2053
    [[ $cmd == $1 ]] || continue
    tr '\0' '\n' 2>/dev/null < "$p/environ" | grep -qxF "WINEPREFIX=$prefix" || continue
    echo "${p#/proc/}"
    return 0
  done
  return 1
}

# cpu_ms <pid>: CPU time of the process so far, in ms. The scheduler's own count (in ns, summed
# over the live threads) where the kernel keeps one: user and system time come in ticks of 10 ms,
# too coarse to tell two idle programs apart within minutes. A thread that ends between two
# samples takes its time along; the threads of Torvane, its driver and the floors live from their
# start to the end of the program, before the first sample and after the last.
cpu_ms() {
  local ns=0 run task
  for task in /proc/"$1"/task/*/schedstat; do
    read -r run _ < "$task" 2>/dev/null || continue
    ns=$((ns + run))
  done
  if [ "$ns" -gt 0 ]; then
    echo $((ns / 1000000))
    return
  fi
  local stat
  stat=$(cat "/proc/$1/stat" 2>/dev/null) || { echo -1; return; }
  stat=${stat##*) }           # the name in parentheses may hold blanks
  # shellcheck disable=SC2086
  set -- $stat                # $1 is field 3 (state): utime is field 14, stime 15
  echo $(( (${12} + ${13}) * 1000 / hz ))
}

# Torvane, the wineserver and the desktop (explorer: it draws the tray) of our prefix.
find_processes() {
  torvane=$(pid_of "*Torvane.exe*") && server=$(pid_of "*wineserver*") && desktop=$(pid_of "*explorer.exe*")
}

sample() { echo "$(cpu_ms "$torvane") $(cpu_ms "$server") $(cpu_ms "$desktop")"; }

# cpu_result <key> <seconds> <sample before> <sample after>
cpu_result() {
  local key=$1 seconds=$2
  read -r t0 s0 d0 <<< "$3"
  read -r t1 s1 d1 <<< "$4"
  echo "RESULT $key seconds=$seconds torvane_ms=$((t1 - t0)) wineserver_ms=$((s1 - s0)) explorer_ms=$((d1 - d0))" >> "$results"
}

# hold <name> <watch> <seconds> [subfolder]: runs hold_bench in the background until it says READY.
hold() { hold_with hold_bench "$1" "$@"; }

# hold_with <bench program> <name> <arguments...>: the same with another program that says READY.
hold_with() {
  local program=$1
  shift
  local log="$out/hold_$1.txt" waited=0
  "$build/wine-exec" "$benches/$program.exe" "${@:2}" > "$log" 2>&1 &
  hold_job=$!
  until grep -q '^READY' "$log"; do
    if ! kill -0 "$hold_job" 2>/dev/null || [ $waited -ge 600 ]; then
      echo "bench: $program $1 did not get ready:" >&2
      cat "$log" >&2
      return 1
    fi
    sleep 0.1
    waited=$((waited + 1))
  done
  if [ "$1" = idle_floor ]; then
    # The floor is the bench program itself; the server and desktop are the same as Torvane's.
    torvane=$(pid_of "*hold_bench.exe floor*") && server=$(pid_of "*wineserver*") && desktop=$(pid_of "*explorer.exe*") \
      || { echo "bench: cannot find the idle floor's processes in $prefix" >&2; return 1; }
    return 0
  fi
  find_processes || { echo "bench: cannot find the processes of $prefix" >&2; return 1; }
}

# end_hold <name>: waits for hold_bench to close Torvane and notes whether it still answered.
end_hold() {
  wait "$hold_job" || echo "bench: hold_bench $1 failed" >&2
  local ping
  ping=$(sed -n 's/^PING \([-0-9]*\).*/\1/p' "$out/hold_$1.txt")
  echo "RESULT ping_$1 ms=${ping:--1}" >> "$results"
}

# fresh_server: waits until the prefix's wineserver has ended (it does once the last program has),
# so that the next measure starts a server of its own. Within one server's life, a second Torvane
# watching C:\ was seen to get no changes from folders an earlier one had watched.
fresh_server() { WINEPREFIX="$prefix" timeout 60 /usr/lib/wine/wineserver -w || echo "bench: the wineserver of $prefix still runs" >&2; }

now_us() { echo "${EPOCHREALTIME/./}"; }

# write_files <folder> <rate> <seconds>: small files with distinct names, paced to rate a second.
write_files() {
  local dir=$1 rate=$2 total=$(($2 * $3)) start due now gap i
  start=$(now_us)
  for ((i = 0; i < total; i++)); do
    printf 'load file %d\n' "$i" > "$dir/load$i.com"
    if (((i + 1) % 10 == 0)); then
      due=$((start + (i + 1) * 1000000 / rate))
      now=$(now_us)
      gap=$((due - now))
      if ((gap > 0)); then sleep "$((gap / 1000000)).$(printf '%06d' $((gap % 1000000)))"; fi
    fi
  done
  echo "$total $(( ($(now_us) - start) / 1000 ))"
}

measure() {
  fresh_server
  echo "== start-up ($runs starts each, one more to warm up)"
  "$build/wine-exec" "$benches/startup_bench.exe" none none "$runs" | tee -a "$results"
  fresh_server
  "$build/wine-exec" "$benches/startup_bench.exe" watchc 'C:\' "$runs" | tee -a "$results"
  fresh_server
  echo "RESULT folders_c count=$(find "$drive_c" -type d | wc -l)" >> "$results"

  local a b
  echo "== ${LOAD_RATE} files a second for ${LOAD_SECONDS} s into a folder below C:\\ (Watch=C:\\)"
  hold load 'C:\' "$((LOAD_SECONDS + 12))" incoming
  a=$(sample)
  local written
  written=$(write_files "$drive_c/torvane-e2e/bench_load/incoming" "$LOAD_RATE" "$LOAD_SECONDS")
  b=$(sample)
  cpu_result load "$LOAD_SECONDS" "$a" "$b"
  sleep 5   # the driver's backlog, if any, before the journal is counted
  local scanned
  scanned=$(grep -c '^SCAN .*\\incoming\\load' "$drive_c/torvane-e2e/bench_load/journal.txt" || true)
  echo "RESULT load_files written=${written% *} write_ms=${written#* } scanned=$scanned" >> "$results"
  end_hold load
  fresh_server

}

# burst_of <build> <key prefix>: one run of burst_bench with the Torvane.exe and Torvane.VXD of build
# (the bench program and the prefix stay this build's), its RESULT keys prefixed.
burst_of() {
  TORVANE_BUILD="$1" "$build/wine-exec" "$benches/burst_bench.exe" "$BURST" | sed "s/^RESULT /RESULT $2/" | tee -a "$results" \
    || echo "bench: burst_bench: not every detection was listed, in order, with the program answering (see above)" >&2
  fresh_server
}

measure_burst() {
  fresh_server
  local r
  for ((r = 1; r <= burst_runs; r++)); do
    echo "== burst of $BURST detections, run $r of $burst_runs${base:+, this build then $base}"
    burst_of "$build" ""
    [ -n "$base" ] && burst_of "$base" base_
  done
  return 0
}

# measure_idle: IDLE_SECONDS of CPU time each for the idle floor, Torvane with Watch=none and with
# Watch=C:\. Held 10 s longer than measured: finding the processes may take seconds on a loaded
# machine.
measure_idle() {
  local a b key watch
  fresh_server
  echo "== idle, ${IDLE_SECONDS} s each: the floor, Torvane with Watch=none, with Watch=C:\\"
  hold_with hold_bench idle_floor floor "$((IDLE_SECONDS + 10))"
  a=$(sample); sleep "$IDLE_SECONDS"; b=$(sample)
  cpu_result idle_floor "$IDLE_SECONDS" "$a" "$b"
  wait "$hold_job" || echo "bench: the idle floor failed" >&2
  fresh_server
  for key in idle_none idle_c; do
    watch=none
    [ $key = idle_c ] && watch='C:\'
    hold "$key" "$watch" "$((IDLE_SECONDS + 10))"
    a=$(sample); sleep "$IDLE_SECONDS"; b=$(sample)
    cpu_result "$key" "$IDLE_SECONDS" "$a" "$b"
    end_hold "$key"
    fresh_server
  done
}

measure_sheet() {
  fresh_server
  echo "== property sheet: the Properties command until the sheet is painted ($runs openings, one more to warm up)"
  "$build/wine-exec" "$benches/sheet_bench.exe" open "$runs" | tee -a "$results"
  fresh_server
  echo "== ${IDLE_SECONDS} s with the sheet open on its Scan options page"
  local a b
  hold_with sheet_bench sheet_hold hold "$((IDLE_SECONDS + 10))"
  a=$(sample); sleep "$IDLE_SECONDS"; b=$(sample)
  cpu_result sheet_hold "$IDLE_SECONDS" "$a" "$b"
  end_hold sheet_hold
  fresh_server
}

# load_into <key> <bench folder>: LOAD_RATE files a second for INFO_SECONDS into its "incoming",
# with the CPU time over the writing and the files the driver scanned.
load_into() {
  local a b written scanned
  a=$(sample)
  written=$(write_files "$drive_c/torvane-e2e/$2/incoming" "$LOAD_RATE" "$INFO_SECONDS")
  b=$(sample)
  cpu_result "$1" "$INFO_SECONDS" "$a" "$b"
  sleep 3   # the driver's backlog, if any, before the journal is counted
  scanned=$(grep -c '^SCAN .*\\incoming\\load' "$drive_c/torvane-e2e/$2/journal.txt" || true)
  echo "RESULT $1_files written=${written% *} write_ms=${written#* } scanned=$scanned" >> "$results"
}

measure_info() {
  fresh_server
  echo "== ${LOAD_RATE} files a second for ${INFO_SECONDS} s into a watched folder: sheet closed, open on Scan options, open on Information"
  hold info_closed incoming "$((INFO_SECONDS + 15))" incoming
  load_into info_closed bench_info_closed
  end_hold info_closed
  fresh_server
  hold_with sheet_bench info_scan hold "$((INFO_SECONDS + 15))" 0 incoming
  load_into info_scan bench_sheet_hold_p0
  end_hold info_scan
  fresh_server
  hold_with sheet_bench info_open hold "$((INFO_SECONDS + 15))" 4 incoming
  load_into info_open bench_sheet_hold_p4
  end_hold info_open
  fresh_server
}

if [ $inner = 1 ]; then
  case "$mode" in
    sheet) measure_sheet ;;
    info) measure_info ;;
    idle) measure_idle ;;
    burst) measure_burst ;;
    *) measure; measure_idle; measure_burst; measure_sheet; measure_info ;;
  esac
  exit 0
fi

# ---- The table ---------------------------------------------------------------------------------

# field <result key> <name>: value of name= in the RESULT line of key ("?" when missing).
field() {
  local line
  line=$(grep -m1 "^RESULT $1 " "$results" || true)
  [[ " $line " =~ \ $2=([^ ]*)\  ]] && echo "${BASH_REMATCH[1]}" || echo "?"
}

# median_field <result key> <name>: the median of name= over every RESULT line of key ("?" when none).
median_field() {
  grep "^RESULT $1 " "$results" | sed -n "s/.* $2=\([-0-9.]*\).*/\1/p" | sort -n \
    | awk '{ v[NR] = $1 } END { if (NR == 0) print "?"; else if (NR % 2) print v[(NR + 1) / 2]; else print (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

# ratio <figure> <floor>: figure / floor, as "1.07x" ("?" when either is missing or not positive).
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (a + 0 > 0 && b + 0 > 0) printf "%.2fx", a / b; else print "?" }'; }

row() { printf '%-62s %s\n' "$1" "$2"; }

table() {
  echo
  echo "Torvane bench ($mode$([ $busy = 1 ] && echo ', the second core kept busy')), $(date '+%Y-%m-%d %H:%M'): $(nproc) cores, $(/usr/lib/wine/wine64 --version), load average $load_before before, $(cut -d' ' -f1-3 /proc/loadavg) after"
  echo
  row "Measure" "Figure"
  row "-------" "------"
  for k in none c; do
    local key=startup_$k label=none
    [ $k = c ] && key=startup_watchc label='C:\ (the default)'
    row "Start-up, loop less 1.5 s splash, Watch=$label" \
      "min $(field $key min) / median $(field $key median) / max $(field $key max) ms ($(field $key runs) starts; splash shown after $(field $key splash_median) ms)"
  done
  row "  (folders below C:\\ the driver opens at connect)" "$(field folders_c count)"
  for f in "x86_64 Torvane.exe" "x86_64 Torvane.VXD" "i686 Torvane.exe" "i686 Torvane.VXD"; do
    local key=${f// /_}
    row "Size, $f" "$(field "size $key" bytes) bytes (symbols: $(field "size $key" symbols); stripped $(field "size $key" stripped))"
  done
  cpu_row() {
    row "$1" "Torvane $(field "$2" torvane_ms) ms; wineserver $(field "$2" wineserver_ms) ms; desktop/tray $(field "$2" explorer_ms) ms"
  }
  cpu_row "CPU idle ${IDLE_SECONDS} s, floor: hidden window, tray icon, 150 ms timer" idle_floor
  cpu_row "CPU idle ${IDLE_SECONDS} s, Watch=none" idle_none
  cpu_row "CPU idle ${IDLE_SECONDS} s, Watch=C:\\" idle_c
  row "  Torvane against the floor: Watch=none; Watch=C:\\" \
    "$(ratio "$(field idle_none torvane_ms)" "$(field idle_floor torvane_ms)"); $(ratio "$(field idle_c torvane_ms)" "$(field idle_floor torvane_ms)")"
  cpu_row "CPU ${LOAD_SECONDS} s, ${LOAD_RATE} files/s written, Watch=C:\\" load
  row "  files written / scanned (journal SCAN lines)" \
    "$(field load_files written) in $(field load_files write_ms) ms / $(field load_files scanned)"
  row "  MainWindow answers after idle / after load" \
    "$(field ping_idle_c ms) ms / $(field ping_load ms) ms"
  local p
  for p in "" base_; do
    [ -z "$p" ] || grep -q "^RESULT ${p}burst_" "$results" || continue
    [ -z "$p" ] || row "With the Torvane.exe and Torvane.VXD of $base:" ""
    local e2e=${p}burst_e2e posted=${p}burst_posted open=${p}burst_posted_open
    row "Burst of $BURST test files, end to end: all rows after (median)" \
      "$(median_field $e2e all_rows_ms) ms (rows $(field $e2e rows): first after $(median_field $e2e first_row_ms), last after $(median_field $e2e last_row_ms) ms)"
    row "  files written in; driver's last DETECT line after" \
      "$(median_field $e2e write_ms) ms; $(median_field $e2e last_detect_ms) ms"
    row "  journal DETECT / SCAN lines, watch overflows" \
      "$(field $e2e detect) / $(field $e2e scan), $(field $e2e overflow)"
    row "  order; answers during / after the burst within" \
      "$(field $e2e order); $(median_field $e2e slowest_answer_ms) ms / $(median_field $e2e ping_ms) ms"
    row "Burst of $BURST posted WM_VIRUS_FOUND at once: all rows after" \
      "$(median_field $posted all_rows_ms) ms (rows $(field $posted rows), $(field $posted order), answers within $(median_field $posted slowest_answer_ms) / $(median_field $posted ping_ms) ms)"
    row "  the same into an alert already open: all rows after" \
      "$(median_field $open all_rows_ms) ms (rows $(field $open rows), $(field $open order), answers within $(median_field $open slowest_answer_ms) / $(median_field $open ping_ms) ms)"
  done
  row "  (bursts: medians of $(grep -c '^RESULT burst_posted ' "$results") runs of each build)" ""
  row "Properties command to the sheet shown / painted" \
    "$(field sheet_open shown_median) ms / min $(field sheet_open min) / median $(field sheet_open median) / max $(field sheet_open max) ms ($(field sheet_open runs) openings)"
  row "  floor: the same six templates as a sheet of the bench's own" \
    "$(field sheet_floor shown_median) ms / min $(field sheet_floor min) / median $(field sheet_floor median) / max $(field sheet_floor max) ms"
  row "  painted, against the floor (medians)" "$(ratio "$(field sheet_open median)" "$(field sheet_floor median)")"
  cpu_row "CPU ${IDLE_SECONDS} s with the sheet open on Scan options" sheet_hold
  cpu_row "CPU ${INFO_SECONDS} s, ${LOAD_RATE} files/s written, sheet closed" info_closed
  cpu_row "  the same with the sheet open on Scan options (no timer)" info_scan
  cpu_row "  the same with the sheet open on Information" info_open
  row "  files written / scanned: closed; Scan options; Information" \
    "$(field info_closed_files written) / $(field info_closed_files scanned); $(field info_scan_files written) / $(field info_scan_files scanned); $(field info_open_files written) / $(field info_open_files scanned)"
  echo
  echo "(-1: did not happen; ?: not measured in this run; details in $out)"
}

load_before=$(cut -d' ' -f1-3 /proc/loadavg)
echo "bench: building $build (x86_64)$([ "$mode" = all ] && echo " and $build32 (i686)")"
build_flavour "$build" x86_64 Torvane TorvaneVxd startup_bench hold_bench burst_bench sheet_bench
[ -z "$base" ] || build_flavour "$base" x86_64 Torvane TorvaneVxd
mkdir -p "$out"
: > "$results"
if [ "$mode" = all ]; then
  build_flavour "$build32" i686 Torvane TorvaneVxd
  size_row x86_64_Torvane.exe "$build/app/Torvane.exe" x86_64-w64-mingw32 0
  size_row x86_64_Torvane.VXD "$build/vxd/Torvane.VXD" x86_64-w64-mingw32 10
  size_row i686_Torvane.exe "$build32/app/Torvane.exe" i686-w64-mingw32 0
  size_row i686_Torvane.VXD "$build32/vxd/Torvane.VXD" i686-w64-mingw32 10
fi

# --busy: one process spins on the second core for the whole measurement, so that every figure
# and its floor meet a machine with one core taken.
spinner=""
if [ $busy = 1 ]; then
  taskset -c 1 sh -c 'while :; do :; done' &
  spinner=$!
fi
xvfb-run -a -s "-screen 0 800x600x24" "$0" --measure "$mode" "$IDLE_SECONDS" 2>&1 | tee "$out/log.txt" || echo "bench: some measurements failed; see $out/log.txt"
[ -z "$spinner" ] || kill "$spinner"
WINEPREFIX="$prefix" /usr/lib/wine/wineserver -w || true
table | tee "$out/table.txt"

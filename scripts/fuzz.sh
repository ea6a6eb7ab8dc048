#!/usr/bin/env bash
# Runs the libFuzzer targets of build/native-asan and prints, per target, executions per second and
# the coverage won.
# Usage: scripts/fuzz.sh [SECONDS] [TARGET...]   each target (default: all) for SECONDS (default 60),
#          from its seeds (tests/fuzz/corpus/<target>) and what earlier runs kept
#          (build/native-asan/fuzz-corpus/<target>); FUZZ_JOBS=<n> targets at a time (default 1)
#        scripts/fuzz.sh --regress TARGET...       each for FUZZ_REGRESS_SECONDS (default 3) from its
#          seeds alone, into a scratch folder (what scripts/test.sh runs through ctest)
# A finding stops that target; its input lands in build/native-asan/fuzz-findings/ and the run fails.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${FUZZ_BUILD:-$top/build/native-asan}
seeds="$top/tests/fuzz/corpus"
findings="$build/fuzz-findings"
mkdir -p "$findings"
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}

regress=0
kind=""         # the regression runs keep logs of their own beside a campaign's
if [ "${1:-}" = "--regress" ]; then
  regress=1
  kind=".regress"
  shift
  seconds=${FUZZ_REGRESS_SECONDS:-3}
else
  [ -f "$build/build.ninja" ] || "$top/scripts/setup.sh" >/dev/null
  "$top/scripts/build.sh" native-asan >/dev/null
  if [[ "${1:-}" =~ ^[0-9]+$ ]]; then seconds=$1; shift; else seconds=60; fi
fi
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for f in "$top"/tests/fuzz/fuzz_*.cpp; do targets+=("$(basename "$f" .cpp)"); done
fi

# run_one <target>: fuzzes it and writes "<target> <seconds> <execs> <execs/s> <cov start> <cov end>
# <units start> <units end> <status>" to its summary file.
run_one() {
  local target=$1 corpus log status=ok
  if [ $regress -eq 1 ]; then
    corpus=$(mktemp -d)
  else
    corpus="$build/fuzz-corpus/$target"
    mkdir -p "$corpus"
  fi
  log="$build/fuzz-logs/$target$kind.log"
  mkdir -p "$build/fuzz-logs"
  "$build/tests/fuzz/$target" -max_total_time="$seconds" -print_final_stats=1 -timeout=10 -rss_limit_mb=2048 \
    -artifact_prefix="$findings/$target-" "$corpus" "$seeds/$target" > "$log" 2>&1 || status=FAILED
  [ $regress -eq 1 ] && rm -rf "$corpus"
  local inited final execs rate
  inited=$(grep -m1 -E '(INITED|INFO: A corpus is not provided)' "$log" || true)
  final=$(grep -E '^#[0-9]+' "$log" | tail -1 || true)
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
  rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log")
  cov() { [[ "$1" =~ cov:\ ([0-9]+) ]] && echo "${BASH_REMATCH[1]}" || echo 0; }
  units() { [[ "$1" =~ corp:\ ([0-9]+) ]] && echo "${BASH_REMATCH[1]}" || echo 0; }
  echo "$target $seconds ${execs:-0} ${rate:-0} $(cov "$inited") $(cov "$final") $(units "$inited") $(units "$final") $status" \
    > "$build/fuzz-logs/$target$kind.summary"
}

jobs=${FUZZ_JOBS:-1}
for target in "${targets[@]}"; do
  [ -x "$build/tests/fuzz/$target" ] || { echo "fuzz: no target $target in $build" >&2; exit 2; }
  while [ "$(jobs -rp | wc -l)" -ge "$jobs" ]; do wait -n || true; done
  run_one "$target" &
done
wait

failed=0
printf '%-22s %8s %12s %10s %16s %14s %s\n' target seconds executions "exec/s" "coverage (edges)" "corpus units" result
for target in "${targets[@]}"; do
  read -r name secs execs rate cov0 cov1 units0 units1 status < "$build/fuzz-logs/$target$kind.summary"
  printf '%-22s %8s %12s %10s %16s %14s %s\n' "$name" "$secs" "$execs" "$rate" "$cov0 -> $cov1 (+$((cov1 - cov0)))" \
    "$units0 -> $units1" "$status"
  if [ "$status" != ok ]; then
    failed=1
    echo "--- $target: $build/fuzz-logs/$target$kind.log" >&2
    grep -E -A12 'fuzz check failed|ERROR: (Address|Undefined|libFuzzer)|runtime error' "$build/fuzz-logs/$target$kind.log" | head -40 >&2 || true
  fi
done
exit $failed

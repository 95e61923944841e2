#!/usr/bin/env bash
# Builds the fuzz targets (fuzz/CMakeLists.txt: clang, libFuzzer, address and
# undefined-behaviour sanitizers) in build-fuzz/ and runs each for SECONDS
# (60 unless given) on JOBS of them at a time (1 unless given), starting
# from its corpus in fuzz/corpus/<target>/. New inputs that reach new code
# go to build-fuzz/found/<target>/, never into the corpus; findings (crash-*,
# leak-*, timeout-*, oom-* inputs) to build-fuzz/findings/<target>/. Prints
# one line per target and exits non-zero when any target found something.
#   bash scripts/fuzz.sh [SECONDS] [JOBS] [TARGET...]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
jobs=${2:-1}
shift $(( $# > 2 ? 2 : $# ))

command -v clang++ >/dev/null || { echo "fuzz.sh: clang++ is missing (bash scripts/deps.sh test)" >&2; exit 2; }
[ -f build-fuzz/build.ninja ] ||
  CC=clang CXX=clang++ cmake -S fuzz -B build-fuzz -G Ninja >/dev/null
cmake --build build-fuzz --parallel "$(nproc)"

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for f in fuzz/targets/*.cpp; do targets+=("$(basename "$f" .cpp)"); done
fi

run_one() {
  local t=$1
  local found=build-fuzz/found/$t findings=build-fuzz/findings/$t
  rm -rf "$findings"
  mkdir -p "$found" "$findings"
  # libFuzzer looks for leaks after every input that allocated more than it freed.
  ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
    "build-fuzz/fuzz_$t" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    -max_len=16384 -print_final_stats=1 -artifact_prefix="$findings/" \
    "$found" "fuzz/corpus/$t" >"build-fuzz/$t.log" 2>&1 || true
}

running=0
for t in "${targets[@]}"; do
  [ -x "build-fuzz/fuzz_$t" ] || { echo "fuzz.sh: no target $t" >&2; exit 2; }
  # The next target starts as soon as any running one is done.
  if [ "$running" -ge "$jobs" ]; then
    wait -n || true
    running=$((running - 1))
  fi
  run_one "$t" &
  running=$((running + 1))
done
wait

status=0
printf '%-12s %14s %9s  %s\n' target inputs findings 'finding inputs'
for t in "${targets[@]}"; do
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "build-fuzz/$t.log" | tail -1)
  mapfile -t hits < <(find "build-fuzz/findings/$t" -type f \( -name 'crash-*' -o -name 'leak-*' \
    -o -name 'timeout-*' -o -name 'oom-*' \) | sort)
  # A run that stopped without its statistics also counts as a finding.
  if [ -z "$runs" ]; then
    printf '%-12s %14s %9s  %s\n' "$t" '?' 'stopped' "see build-fuzz/$t.log"
    status=1
    continue
  fi
  printf '%-12s %14s %9s  %s\n' "$t" "$runs" "${#hits[@]}" "${hits[*]:-}"
  [ ${#hits[@]} -eq 0 ] || status=1
done
exit $status

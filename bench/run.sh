#!/usr/bin/env bash
# The benchmarks in one command: builds Discora and the benchmarks (in
# build/, configured once as scripts/build.sh does), makes the synthetic
# libraries once (kept in build/bench-libs, made again when the generator
# changes), runs the scan, memory and grid benchmarks and prints the table,
# then times the search over the largest library, and the whole program's
# start on it, as the machine is and with one more core kept busy.
#
#   bash bench/run.sh [--sizes 1000,10000,100000] [--runs K] [--pages P] [--no-cold]
#
# Run as root for the cold-cache rows (they drop the page cache). Set
# DISCORA_BUILD_DIR to build and run in another build folder.
set -euo pipefail
cd "$(dirname "$0")/.."

build=${DISCORA_BUILD_DIR:-build}
bash scripts/deps.sh run
if [ "$build" = build ]; then
  bash scripts/build.sh >/dev/null
else
  [ -f "$build/build.ninja" ] || cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build "$build" --target generate_library floor bench_scan bench_find bench_stats bench_start discora >/dev/null
fi

sizes=1000,10000,100000
args=("$@")
for ((i = 0; i < ${#args[@]}; i++)); do
  [ "${args[$i]}" = --sizes ] && sizes=${args[$((i + 1))]}
done

libs=$PWD/$build/bench-libs
stamp=$(md5sum bench/generate_library.cpp | cut -d' ' -f1)
IFS=, read -ra counts <<<"$sizes"
for n in "${counts[@]}"; do
  lib=$libs/songs-$n
  if [ "$(cat "$lib/.complete" 2>/dev/null)" != "$stamp" ]; then
    echo "Making a library of $n songs in $lib ..." >&2
    rm -rf "$lib"
    "$build/bench/generate_library" --songs "$n" --out "$lib" >&2
    echo "$stamp" >"$lib/.complete"
  fi
done

"$build/bench/bench_scan" --libs "$libs" "$@"
"$build/bench/bench_find" --lib "$libs/songs-${counts[-1]}"
"$build/bench/bench_stats"
echo
"$build/bench/bench_start" --binary "$build/app/discora" --libs "$libs" --sizes "${counts[-1]}" --busy

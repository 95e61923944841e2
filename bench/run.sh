#!/usr/bin/env bash
# The benchmarks in one command: builds Discora and the benchmarks (in
# build/, configured once as scripts/build.sh does), makes the synthetic
# libraries once (kept in build/bench-libs, made again when the generator
# changes), runs the scan, memory and grid benchmarks and prints the table,
# then times the search over the largest library, and the whole program's
# start on it, as the machine is and with one more core kept busy. Last,
# tree libraries of the same sizes (build/bench-libs/tree-N): the listing of
# the largest against the floor, the floor of a tree's first start, and the
# whole program's first start and start with its tag cache on each.
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
  cmake --build "$build" --target generate_library generate_tree floor bench_scan bench_find bench_stats bench_start \
    bench_list_tree bench_tree_start bench_fill discora >/dev/null
fi

sizes=1000,10000,100000
cold=yes
args=("$@")
for ((i = 0; i < ${#args[@]}; i++)); do
  [ "${args[$i]}" = --sizes ] && sizes=${args[$((i + 1))]}
  [ "${args[$i]}" = --no-cold ] && cold=no
done

libs=$PWD/$build/bench-libs
# make_library GENERATOR N DIR: the generator's library of N songs in DIR,
# made once and again when the generator changes (DIR/.complete holds the
# stamp of the generator that made it whole).
make_library() {
  local stamp
  stamp=$(cat "bench/$1.cpp" bench/Synthetic.h | md5sum | cut -d' ' -f1)
  if [ "$(cat "$3/.complete" 2>/dev/null)" != "$stamp" ]; then
    echo "Making a library of $2 songs in $3 ..." >&2
    rm -rf "$3"
    "$build/bench/$1" --songs "$2" --out "$3" >&2
    echo "$stamp" >"$3/.complete"
  fi
}
IFS=, read -ra counts <<<"$sizes"
for n in "${counts[@]}"; do
  make_library generate_library "$n" "$libs/songs-$n"
done

"$build/bench/bench_scan" --libs "$libs" "$@"
"$build/bench/bench_find" --lib "$libs/songs-${counts[-1]}"
"$build/bench/bench_stats"
echo
"$build/bench/bench_start" --binary "$build/app/discora" --libs "$libs" --sizes "${counts[-1]}" --busy

echo
for n in "${counts[@]}"; do
  make_library generate_tree "$n" "$libs/tree-$n"
done
tree=$libs/tree-${counts[-1]}
"$build/bench/bench_list_tree" --lib "$tree"
[ "$cold" = yes ] && [ "$(id -u)" = 0 ] && "$build/bench/bench_list_tree" --lib "$tree" --runs 3 --cold
"$build/bench/floor" --tree "$tree/music" --runs 3
echo
"$build/bench/bench_tree_start" --binary "$build/app/discora" --libs "$libs" --sizes "$sizes"
if [ -d "$libs/tree-10000" ]; then
  echo
  "$build/bench/bench_fill" --lib "$libs/tree-10000"
fi

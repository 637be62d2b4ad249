#!/usr/bin/env bash
# Times Load, Save and FindNext of the ID store on a generated 100,000-entry data file against
# cp of the same file, in one run, and prints the ratios. Usage: bench/bench_iddb.sh [ENTRIES]
set -euo pipefail
cd "$(dirname "$0")/.."
entries=${1:-100000}
build=build-bench
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUILLET_BUILD_BENCH=ON \
  -DQUILLET_BUILD_TESTS=OFF -DQUILLET_BUILD_GUI=OFF >/dev/null
cmake --build "$build" -j2 --target bench_iddb quillet >/dev/null
bench_iddb=$(scripts/built-path.sh "$build" bench_iddb)
quillet=$(scripts/built-path.sh "$build" quillet)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
python3 bench/gen_datafile.py "$entries" "$work/Zelvo.dat"
"$bench_iddb" "$work/Zelvo.dat" 9
# The headless listing end to end (load without writing, print every entry as UTF-8).
if command -v hyperfine >/dev/null; then
  hyperfine -N --warmup 1 --runs 5 "cp $work/Zelvo.dat $work/copy.dat" \
    "$quillet ids list --data-dir $work" 2>/dev/null | grep -E "Time|±|faster|slower" || true
fi

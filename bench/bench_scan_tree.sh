#!/usr/bin/env bash
# Times the full log import of `quillet scan --json` (worker thread, hand-off to the main thread,
# filing into the folder tree, the tree printed) against `quillet scan --finds` (the bare scan,
# every find printed) on the same large generated log, alternating the two, and prints the
# medians of wall and CPU time, their ratios (target: at most 1.5) and the peak memory of each.
#
# Environment: LOG (default /tmp/quillet-bench-100mb.log), SIZE_MB (default 100), RUNS (default 10),
# BUILD (Release build folder, default build-bench), QUILLET (use this binary instead of building).
set -euo pipefail
cd "$(dirname "$0")/.."
size_mb=${SIZE_MB:-100}
log=${LOG:-/tmp/quillet-bench-${size_mb}mb.log}
runs=${RUNS:-10}
build=${BUILD:-build-bench}

if [ -z "${QUILLET:-}" ]; then
  if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUILLET_BUILD_TESTS=OFF \
      -DQUILLET_BUILD_GUI=OFF >/dev/null
  fi
  cmake --build "$build" --target quillet -j 2 >/dev/null
  quillet=$PWD/$build/src/quillet
else
  quillet=$QUILLET
fi
[ -f "$log" ] || python3 bench/gen_log.py "$log" --size-mb "$size_mb"
cat "$log" >/dev/null  # warm the page cache

times=$(mktemp)
trap 'rm -f "$times"' EXIT
for _ in $(seq "$runs"); do
  for mode in --finds --json; do
    /usr/bin/time -f "$mode %e %U %S %M" -a -o "$times" "$quillet" scan "$mode" "$log" >/dev/null
  done
done
echo "log: $log ($(stat -c %s "$log") bytes), $runs runs each, alternating; load: $(cut -d' ' -f1-3 /proc/loadavg)"
python3 - "$times" <<'PY'
import statistics, sys
rows = [line.split() for line in open(sys.argv[1]) if line.strip()]
result = {}
for mode in ("--finds", "--json"):
    r = [x for x in rows if x[0] == mode]
    wall = statistics.median(float(x[1]) for x in r)
    cpu = statistics.median(float(x[2]) + float(x[3]) for x in r)
    peak = max(int(x[4]) for x in r)
    result[mode] = (wall, cpu)
    print(f"quillet scan {mode:8} wall median {wall:.3f} s, CPU median {cpu:.3f} s, peak RSS {peak} KB")
wall = result["--json"][0] / result["--finds"][0]
cpu = result["--json"][1] / result["--finds"][1]
print(f"ratio --json / --finds: wall {wall:.2f}, CPU {cpu:.2f} (target: at most 1.5)")
PY

#!/usr/bin/env bash
# Imports many small logs at once, headless (`quillet scan --json`) and through the window
# (bench_import --list, the open dialog answered with every file), for 20,000 and 100,000 files
# cut from the benchmark log, and prints the times, the time per file and the window's longest
# pause between events. Targets: 100,000 files under 10 s headless, the window within 1.3 x
# headless with no pause above 50 ms, time per file flat from 20,000 to 100,000.
#
# Environment: LOG (default /tmp/quillet-bench-100mb.log, written if missing), COUNTS (default
# "20000 100000"), LINES_PER_FILE (default 20), RUNS (default 3), DIR (where the pieces go,
# default /tmp/quillet-many), BUILD (Release build folder with the desktop program and the
# benchmarks, default build-bench).
set -euo pipefail
cd "$(dirname "$0")/.."
log=${LOG:-/tmp/quillet-bench-100mb.log}
counts=${COUNTS:-20000 100000}
lines=${LINES_PER_FILE:-20}
runs=${RUNS:-3}
dir=${DIR:-/tmp/quillet-many}
build=${BUILD:-build-bench}

if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUILLET_BUILD_TESTS=OFF \
    -DQUILLET_BUILD_BENCH=ON >/dev/null
fi
cmake --build "$build" --target quillet bench_import -j 2 >/dev/null
quillet=$(scripts/built-path.sh "$build" quillet)
bench_import=$(scripts/built-path.sh "$build" bench_import)
[ -f "$log" ] || python3 bench/gen_log.py "$log"

for n in $counts; do
  folder=$dir/$n-x$lines
  if [ ! -f "$folder/list.txt" ]; then
    mkdir -p "$folder"
    # Pieces of LINES_PER_FILE lines from the start of the log, named so that the open dialog's
    # order is the names' order; the list holds names relative to the folder. Short names without
    # an extension keep 100,000 of them within one command line.
    python3 - "$log" "$folder" "$n" "$lines" <<'PY'
import os, sys
log, folder, count, per = sys.argv[1], sys.argv[2], int(sys.argv[3]), int(sys.argv[4])
with open(log, "rb") as f:
    data = f.read().split(b"\r\n")
if count * per > len(data):
    sys.exit(f"the log has {len(data)} lines, fewer than {count} x {per}")
names = []
for i in range(count):
    name = f"{i:06d}"
    with open(os.path.join(folder, name), "wb") as out:
        out.write(b"\r\n".join(data[i * per:(i + 1) * per]) + b"\r\n")
    names.append(name)
with open(os.path.join(folder, "list.txt"), "w") as out:
    out.write("\n".join(names) + "\n")
PY
  fi
  echo "== $n files of $lines lines ($(du -sh "$folder" | cut -f1)); load: $(cut -d' ' -f1-3 /proc/loadavg)"
  # Peak memory of the headless import (the list read from the folder: the names are short).
  # shellcheck disable=SC2046
  (cd "$folder" && /usr/bin/time -f "quillet scan --json: %e s, peak RSS %M KB" \
    "$quillet" scan --json $(cat list.txt) >/dev/null)
  "$bench_import" --list "$folder/list.txt" "$runs"
done

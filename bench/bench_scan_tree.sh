#!/usr/bin/env bash
# Times the full log import of `quillet scan --json` and of `quillet scan` (worker thread,
# hand-off to the main thread, filing into the folder tree, the tree printed as JSON or as text)
# against `quillet scan --finds` (the bare scan, every find printed) on the same large generated
# log, alternating the three, and prints the
# medians of wall and CPU time, their ratios (target: at most 1.5), the median of the per-round
# ratios and the peak memory of each, on two workloads: the benchmark log (a few dozen forums,
# most finds an ID already in its room) and the many-rooms log (thousands of forums and PATIOs,
# most finds an ID new to its room). For each it also prints the (folder, ID) pairs filed and the
# peak memory of the import above the bare scan's per pair (target: at most 120 bytes).
#
# Environment: LOG (default /tmp/quillet-bench-100mb.log), ROOMS_LOG (default
# /tmp/quillet-rooms-100mb.log; "none" skips it), SIZE_MB (default 100), RUNS (default 10),
# BUILD (Release build folder, default build-bench), QUILLET (use this binary instead of building).
set -euo pipefail
cd "$(dirname "$0")/.."
size_mb=${SIZE_MB:-100}
log=${LOG:-/tmp/quillet-bench-${size_mb}mb.log}
rooms_log=${ROOMS_LOG:-/tmp/quillet-rooms-${size_mb}mb.log}
runs=${RUNS:-10}
build=${BUILD:-build-bench}

source bench/lib.sh
bench_quillet
[ -f "$log" ] || python3 bench/gen_log.py "$log" --size-mb "$size_mb"
logs=$log
if [ "$rooms_log" != none ]; then
  [ -f "$rooms_log" ] || python3 bench/gen_log.py "$rooms_log" --size-mb "$size_mb" --many-rooms
  logs="$log $rooms_log"
fi

for log in $logs; do
cat "$log" >/dev/null  # warm the page cache

echo
echo "log: $log ($(stat -c %s "$log") bytes), $runs runs each, alternating; load: $(cut -d' ' -f1-3 /proc/loadavg)"
# The times are taken here rather than from /usr/bin/time, whose figures are in hundredths of a
# second: the wall time with a monotonic clock, the CPU time of the run from wait4. The peak
# memory still comes from /usr/bin/time, which runs the program from a small process (a child
# forked from Python would count Python's own memory as its peak).
python3 - "$quillet" "$log" "$runs" <<'PY'
import os, statistics, subprocess, sys, tempfile, time
quillet, log, runs = sys.argv[1], sys.argv[2], int(sys.argv[3])
# The (folder, ID) pairs the import files: a folder is the category with the name (forums,
# PATIOs, CB bands) or the category alone (mail).
pairs = set()
folders = set()
finds = 0
scan = subprocess.run([quillet, "scan", "--finds", "--raw", log], stdout=subprocess.PIPE, check=True).stdout
for line in scan.split(b"\n"):
    fields = line.split(b"\t")
    if len(fields) != 4:
        continue
    category = int(fields[0])
    folder = (category, fields[1] if category <= 8 else b"")
    folders.add(folder)
    pairs.add((folder, fields[2]))
    finds += 1
print(f"{finds} finds, {len(folders)} room folders, {len(pairs)} (folder, ID) pairs filed")
# The tree as text is `quillet scan LOG` with no mode flag.
flags = {"--finds": ["--finds"], "--json": ["--json"], "text": []}
samples = {mode: [] for mode in flags}
with open(os.devnull, "wb") as sink, tempfile.NamedTemporaryFile("r") as peak_file:
    for _ in range(runs):
        for mode in samples:
            start = time.perf_counter()
            child = subprocess.Popen(["/usr/bin/time", "-f", "%M", "-o", peak_file.name,
                                      quillet, "scan", *flags[mode], log], stdout=sink)
            _, status, usage = os.wait4(child.pid, 0)
            wall = time.perf_counter() - start
            if os.waitstatus_to_exitcode(status) != 0:
                sys.exit(f"quillet scan {mode} failed with status {os.waitstatus_to_exitcode(status)}")
            peak_file.seek(0)
            peak = int(peak_file.read().split()[-1])
            samples[mode].append((wall, usage.ru_utime + usage.ru_stime, peak))
result = {}
for mode, rows in samples.items():
    wall = statistics.median(r[0] for r in rows)
    best = min(r[0] for r in rows)
    cpu = statistics.median(r[1] for r in rows)
    peak = max(r[2] for r in rows)
    result[mode] = (wall, cpu, best)
    print(f"quillet scan {mode:8} wall median {wall * 1000:.1f} ms (best {best * 1000:.1f}), "
          f"CPU median {cpu * 1000:.1f} ms, peak RSS {peak} KB")
# The machine's speed drifts between runs (shared hosts especially); the runs of one round are
# moments apart, so the median of the per-round ratios is the steadier figure.
for mode in ("--json", "text"):
    print(f"ratio {mode} / --finds: wall median {result[mode][0] / result['--finds'][0]:.2f}, "
          f"best {result[mode][2] / result['--finds'][2]:.2f}, "
          f"CPU median {result[mode][1] / result['--finds'][1]:.2f} (target: at most 1.5)")
    paired = [j[0] / f[0] for f, j in zip(samples["--finds"], samples[mode])]
    paired_cpu = [j[1] / f[1] for f, j in zip(samples["--finds"], samples[mode])]
    print(f"per-round ratio {mode} / --finds: wall median {statistics.median(paired):.2f}, "
          f"CPU median {statistics.median(paired_cpu):.2f}")
peak = {mode: min(r[2] for r in rows) for mode, rows in samples.items()}
if pairs:
    print(f"peak memory above the bare scan per filed pair: "
          f"{(peak['--json'] - peak['--finds']) * 1024 / len(pairs):.0f} bytes (target: at most 120)")
PY
done

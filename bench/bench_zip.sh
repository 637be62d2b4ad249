#!/usr/bin/env bash
# Times `quillet scan --finds --raw` on a ZIP (deflate) of the 100 MB benchmark log against
# `unzip -p ARCHIVE > /dev/null` on the same archive in the same run, and prints the ratio
# (target: at most 1.3). Also checks that the member gives exactly the finds of the plain log.
#
# Environment: LOG (default /tmp/quillet-bench-100mb.log), SIZE_MB (default 100), RUNS (default 5),
# BUILD (Release build folder, default build-bench), QUILLET (use this binary instead of building).
set -euo pipefail
cd "$(dirname "$0")/.."
size_mb=${SIZE_MB:-100}
log=${LOG:-/tmp/quillet-bench-${size_mb}mb.log}
zip=${log%.log}.zip
runs=${RUNS:-5}
build=${BUILD:-build-bench}

source bench/lib.sh
bench_quillet
for tool in zip unzip; do
  if ! command -v "$tool" >/dev/null; then
    echo "$tool is missing: apt-get install zip unzip" >&2
    exit 1
  fi
done

if [ ! -f "$log" ]; then
  python3 bench/gen_log.py "$log" --size-mb "$size_mb"
fi
if [ ! -f "$zip" ] || [ "$zip" -ot "$log" ]; then
  rm -f "$zip"
  (cd "$(dirname "$log")" && zip -q -j "$zip" "$(basename "$log")")
fi
cat "$zip" >/dev/null

# The member's finds are the plain log's, line for line.
plain=$(mktemp)
member=$(mktemp)
trap 'rm -f "$plain" "$member"' EXIT
"$quillet" scan --finds --raw "$log" | LC_ALL=C grep -av '^end	' >"$plain"
"$quillet" scan --finds --raw "$zip" | LC_ALL=C grep -av '^end	' >"$member"
if ! cmp -s "$plain" "$member"; then
  echo "the finds of the member differ from those of the plain log" >&2
  exit 1
fi
echo "archive: $zip, $(stat -c %s "$zip") bytes, member $(stat -c %s "$log") bytes, $(wc -l <"$member") finds"

# Median wall time in ms of a shell command line, over $runs runs after one warm-up.
median_ms() {
  local times=() start end
  bash -c "$1"
  for _ in $(seq "$runs"); do
    start=$(date +%s%N)
    bash -c "$1"
    end=$(date +%s%N)
    times+=($(( (end - start) / 1000 )))
  done
  printf '%s\n' "${times[@]}" | sort -n | awk '{a[NR]=$1} END {printf "%.1f", a[int((NR+1)/2)] / 1000}'
}

# Interleaved rounds, so that a change of load on the machine hits both commands alike.
unzip_ms=()
scan_ms=()
for round in 1 2 3; do
  unzip_ms+=("$(median_ms "unzip -p '$zip' >/dev/null")")
  scan_ms+=("$(median_ms "'$quillet' scan --finds --raw '$zip' >/dev/null")")
  echo "round $round: unzip -p ${unzip_ms[-1]} ms, quillet scan ${scan_ms[-1]} ms" \
    "(ratio $(awk -v s="${scan_ms[-1]}" -v u="${unzip_ms[-1]}" 'BEGIN {printf "%.2f", s / u}'))"
done
echo "load average: $(cut -d' ' -f1-3 /proc/loadavg) on $(nproc) cores"
best_u=$(printf '%s\n' "${unzip_ms[@]}" | sort -n | head -1)
best_s=$(printf '%s\n' "${scan_ms[@]}" | sort -n | head -1)
awk -v s="$best_s" -v u="$best_u" 'BEGIN {
  printf "best of rounds: scan %.1f ms / unzip -p %.1f ms = %.2f (target: at most 1.3)\n", s, u, s / u
  print (s <= 1.3 * u) ? "target met" : "target NOT met"
}'

#!/usr/bin/env bash
# Times `quillet scan --finds --raw` on a large generated capture log against `wc -l` and a
# ripgrep count of ID-like words on the same file, with a warm page cache, and prints the ratios.
#
# Environment: LOG (default /tmp/quillet-bench-100mb.log), SIZE_MB (default 100), RUNS (default 10),
# BUILD (Release build folder, default build-bench), QUILLET (use this binary instead of building).
set -euo pipefail
cd "$(dirname "$0")/.."
size_mb=${SIZE_MB:-100}
log=${LOG:-/tmp/quillet-bench-${size_mb}mb.log}
runs=${RUNS:-10}
build=${BUILD:-build-bench}

source bench/lib.sh
bench_quillet

if [ ! -f "$log" ]; then
  python3 bench/gen_log.py "$log" --size-mb "$size_mb"
fi
if ! command -v rg >/dev/null; then
  echo "ripgrep (rg) is missing: apt-get install ripgrep" >&2
  exit 1
fi

# Warm the page cache and check that the scanner really reads the log.
cat "$log" >/dev/null
out=$(mktemp)
trap 'rm -f "$out"' EXIT
if ! "$quillet" scan --finds --raw "$log" >"$out"; then
  echo "quillet scan --finds failed on $log" >&2
  exit 1
fi
finds=$(LC_ALL=C grep -avc '^end	' "$out" || true)
rm -f "$out"
lines=$(wc -l <"$log")
bytes=$(stat -c %s "$log")
echo "log: $log, $bytes bytes, $lines lines, $finds finds"

names=("wc -l" "rg -a -c [A-Za-z]{3}[0-9]{5}" "quillet scan --finds --raw")
cmds=("wc -l $log" "rg -a -c [A-Za-z]{3}[0-9]{5} $log" "$quillet scan --finds --raw $log")
declare -a ms cpu

if command -v hyperfine >/dev/null; then
  json=$(mktemp)
  trap 'rm -f "$json"' EXIT
  # No shell in between (-N): the commands are short enough for its start-up to show.
  hyperfine -N --style basic --warmup 2 --runs "$runs" --export-json "$json" "${cmds[@]}" >&2
  mapfile -t ms < <(python3 -c 'import json,sys
for r in json.load(open(sys.argv[1]))["results"]: print("%.1f" % (r["median"] * 1000))' "$json")
  # CPU time (user + system) is less disturbed than wall time when other work shares the machine.
  mapfile -t cpu < <(python3 -c 'import json,sys
for r in json.load(open(sys.argv[1]))["results"]: print("%.1f" % ((r["user"] + r["system"]) * 1000))' "$json")
else
  for i in "${!cmds[@]}"; do
    read -r -a argv <<<"${cmds[$i]}"
    "${argv[@]}" >/dev/null
    times=()
    for _ in $(seq "$runs"); do
      start=$(date +%s%N)
      "${argv[@]}" >/dev/null
      end=$(date +%s%N)
      times+=($(( (end - start) / 1000 )))
    done
    median=$(printf '%s\n' "${times[@]}" | sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}')
    ms+=("$(awk -v us="$median" 'BEGIN {printf "%.1f", us / 1000}')")
    cpu+=("-")
  done
fi

echo
printf '%-32s %10s %10s %10s\n' "command (median of $runs)" "ms" "MB/s" "cpu ms"
for i in "${!names[@]}"; do
  printf '%-32s %10s %10s %10s\n' "${names[$i]}" "${ms[$i]}" \
    "$(awk -v b="$bytes" -v t="${ms[$i]}" 'BEGIN {printf "%.0f", b / 1e6 / (t / 1000)}')" "${cpu[$i]}"
done
echo "load average: $(cut -d' ' -f1-3 /proc/loadavg) on $(nproc) cores"
echo
awk -v wc="${ms[0]}" -v rg="${ms[1]}" -v scan="${ms[2]}" \
    -v cwc="${cpu[0]}" -v crg="${cpu[1]}" -v cscan="${cpu[2]}" 'BEGIN {
  printf "scan / wc -l     = %.2f  (target: at most 6)\n", scan / wc
  printf "scan / rg count  = %.2f  (target: below 1)\n", scan / rg
  if (cwc != "-" && cwc > 0)
    printf "by CPU time: scan / wc -l = %.2f, scan / rg count = %.2f\n", cscan / cwc, cscan / crg
  ok = (scan <= 6 * wc) && (scan < rg)
  print ok ? "targets met" : "targets NOT met"
}'

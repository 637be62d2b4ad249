#!/usr/bin/env bash
# Times `quillet scan --finds --lines` against `quillet scan --finds` on the large generated log
# (warm page cache, runs interleaved so that other load hits both alike) and prints the ratio,
# with and without --raw. With BEFORE set to another quillet binary (e.g. one built from the
# commit before a change to the scanner), `scan --finds` of that binary is timed as well, to show
# that the plain scan did not slow down.
#
# Environment: LOG (default /tmp/quillet-bench-100mb.log), SIZE_MB (default 100), RUNS (default 11),
# BUILD (Release build folder, default build-bench), QUILLET (use this binary instead of building),
# BEFORE (a second binary for the plain scan).
set -euo pipefail
cd "$(dirname "$0")/.."
size_mb=${SIZE_MB:-100}
log=${LOG:-/tmp/quillet-bench-${size_mb}mb.log}
runs=${RUNS:-11}
build=${BUILD:-build-bench}

source bench/lib.sh
bench_quillet
[ -f "$log" ] || python3 bench/gen_log.py "$log" --size-mb "$size_mb"
cat "$log" >/dev/null

# The two outputs must list the same finds, the second with a line number each.
a=$(mktemp) b=$(mktemp)
trap 'rm -f "$a" "$b"' EXIT
"$quillet" scan --finds --raw "$log" >"$a"
"$quillet" scan --finds --raw --lines "$log" >"$b"
if ! LC_ALL=C awk -F'\t' '$1 != "end" { NF--; } { print }' OFS='\t' "$b" | cmp -s - "$a"; then
  echo "scan --finds --lines does not list the finds of scan --finds" >&2
  exit 1
fi
echo "log: $log, $(stat -c %s "$log") bytes, $(LC_ALL=C grep -avc '^end	' "$a") finds"

names=("scan --finds --raw" "scan --finds --raw --lines" "scan --finds" "scan --finds --lines")
cmds=("$quillet scan --finds --raw $log" "$quillet scan --finds --raw --lines $log"
      "$quillet scan --finds $log" "$quillet scan --finds --lines $log")
if [ -n "${BEFORE:-}" ]; then
  names+=("BEFORE scan --finds --raw" "BEFORE scan --finds")
  cmds+=("$BEFORE scan --finds --raw $log" "$BEFORE scan --finds $log")
fi

# CPU time (user + system) of one run in microseconds.
cpu_us() {
  local t
  t=$( { TIMEFORMAT='%U %S'; time "$@" >/dev/null; } 2>&1 )
  awk -v t="$t" 'BEGIN { split(t, p, " "); printf "%d", (p[1] + p[2]) * 1e6 }'
}
declare -A wall cpu
for _ in $(seq "$runs"); do
  for i in "${!cmds[@]}"; do
    read -r -a argv <<<"${cmds[$i]}"
    start=$(date +%s%N)
    c=$(cpu_us "${argv[@]}")
    end=$(date +%s%N)
    wall[$i]+="$(( (end - start) / 1000 )) "
    cpu[$i]+="$c "
  done
done
median() { tr ' ' '\n' | grep -v '^$' | sort -n | awk '{a[NR]=$1} END {printf "%.1f", a[int((NR+1)/2)] / 1000}'; }
declare -a mw mc
printf '%-30s %10s %10s\n' "command (median of $runs)" "wall ms" "cpu ms"
for i in "${!cmds[@]}"; do
  mw[$i]=$(echo "${wall[$i]}" | median)
  mc[$i]=$(echo "${cpu[$i]}" | median)
  printf '%-30s %10s %10s\n' "${names[$i]}" "${mw[$i]}" "${mc[$i]}"
done
echo "load average: $(cut -d' ' -f1-3 /proc/loadavg) on $(nproc) cores"
awk -v r0="${mw[0]}" -v r1="${mw[1]}" -v p0="${mw[2]}" -v p1="${mw[3]}" \
    -v c0="${mc[0]}" -v c1="${mc[1]}" -v d0="${mc[2]}" -v d1="${mc[3]}" 'BEGIN {
  printf "--lines / plain, raw:     %.3f wall, %.3f cpu  (target: at most 1.05)\n", r1 / r0, c1 / c0
  printf "--lines / plain, UTF-8:   %.3f wall, %.3f cpu  (target: at most 1.05)\n", p1 / p0, d1 / d0
}'
if [ -n "${BEFORE:-}" ]; then
  awk -v r0="${mw[0]}" -v b0="${mw[4]}" -v p0="${mw[2]}" -v b1="${mw[5]}" \
      -v c0="${mc[0]}" -v e0="${mc[4]}" -v d0="${mc[2]}" -v e1="${mc[5]}" 'BEGIN {
    printf "plain scan now / BEFORE, raw:   %.3f wall, %.3f cpu\n", r0 / b0, c0 / e0
    printf "plain scan now / BEFORE, UTF-8: %.3f wall, %.3f cpu\n", p0 / b1, d0 / e1
  }'
fi

#!/usr/bin/env bash
# Times `quillet scan --finds --raw` on the UTF-8, EUC-JP and ISO-2022-JP forms of the large
# generated capture log against its Shift-JIS original in the same run, after checking that every
# form gives byte for byte the same finds. Targets: UTF-8 at most 2 x, EUC-JP and JIS at most 3 x
# the Shift-JIS time (every form read with the default --encoding auto).
#
# Environment: LOG (default /tmp/quillet-bench-100mb.log), SIZE_MB (default 100), RUNS (default 5),
# BUILD (Release build folder, default build-bench), QUILLET (use this binary instead of building).
set -euo pipefail
cd "$(dirname "$0")/.."
size_mb=${SIZE_MB:-100}
log=${LOG:-/tmp/quillet-bench-${size_mb}mb.log}
runs=${RUNS:-5}
build=${BUILD:-build-bench}

source bench/lib.sh
bench_quillet

if [ ! -f "$log" ]; then
  python3 bench/gen_log.py "$log" --size-mb "$size_mb"
fi
for form in utf8 euc jis; do
  if [ ! -f "$log.$form" ] || [ "$log.$form" -ot "$log" ]; then
    python3 bench/make_encodings.py "$log"
    break
  fi
done

forms=("$log" "$log.utf8" "$log.euc" "$log.jis")
names=("Shift-JIS" "UTF-8" "EUC-JP" "ISO-2022-JP")

# Warm the page cache and check that every form gives the same finds.
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
for i in "${!forms[@]}"; do
  cat "${forms[$i]}" >/dev/null
  "$quillet" scan --finds --raw "${forms[$i]}" | LC_ALL=C grep -av '^end	' >"$tmp/$i" || true
done
finds=$(wc -l <"$tmp/0")
for i in 1 2 3; do
  if ! cmp -s "$tmp/0" "$tmp/$i"; then
    echo "${names[$i]}: the finds differ from the Shift-JIS original's" >&2
    exit 1
  fi
done
echo "log: $log, $(stat -c %s "$log") bytes, $finds finds, the same in every form"

declare -a ms
for i in "${!forms[@]}"; do
  times=()
  for _ in $(seq "$runs"); do
    start=$(date +%s%N)
    "$quillet" scan --finds --raw "${forms[$i]}" >/dev/null
    end=$(date +%s%N)
    times+=($(( (end - start) / 1000 )))
  done
  median=$(printf '%s\n' "${times[@]}" | sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}')
  ms+=("$(awk -v us="$median" 'BEGIN {printf "%.1f", us / 1000}')")
done

echo
printf '%-14s %12s %10s %8s %8s\n' "form" "bytes" "ms" "ratio" "target"
targets=("" "2" "3" "3")
ok=1
for i in "${!forms[@]}"; do
  ratio=$(awk -v t="${ms[$i]}" -v s="${ms[0]}" 'BEGIN {printf "%.2f", t / s}')
  printf '%-14s %12s %10s %8s %8s\n' "${names[$i]}" "$(stat -c %s "${forms[$i]}")" "${ms[$i]}" "$ratio" "${targets[$i]}"
  if [ -n "${targets[$i]}" ] && awk -v r="$ratio" -v t="${targets[$i]}" 'BEGIN {exit !(r > t)}'; then ok=0; fi
done
echo "load average: $(cut -d' ' -f1-3 /proc/loadavg) on $(nproc) cores (median of $runs runs each)"
[ "$ok" = 1 ] && echo "targets met" || echo "targets NOT met"

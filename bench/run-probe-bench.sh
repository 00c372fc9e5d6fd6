#!/usr/bin/env bash
# Measures the version probe against a plain sequential read on three 1 GiB files:
#   no-marker    pseudo-random bytes without an occurrence (the probe reads everything)
#   marker-end   the same with an occurrence 4 KiB before the end
#   marker-start the same with an occurrence at offset 512
# Each file is read once to warm the page cache, then `cat FILE > /dev/null` and
# probe_bench are each timed three times (wall clock, best kept). Throughput is the file
# size over that time. Peak memory is the probe's maximum RSS.
# Goals: probe at least 0.8 of the plain read's throughput, peak memory under 32 MiB.
# Usage: bench/run-probe-bench.sh [DIR]   (temporary files go to DIR, default $TMPDIR)
set -euo pipefail
cd "$(dirname "$0")/.."

if [ ! -f build/native/build.ninja ]; then
  cmake --preset native >/dev/null
fi
cmake --build --preset native --target probe_bench >/dev/null
probe=build/native/bench/probe_bench

work=$(mktemp -d "${1:-${TMPDIR:-/tmp}}/probe-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT

size=$((1024 * 1024 * 1024))
chunk_mib=16

# 1 GiB: a 16 MiB pseudo-random chunk repeated.
head -c $((chunk_mib * 1024 * 1024)) /dev/urandom > "$work/chunk"
for _ in $(seq $((1024 / chunk_mib))); do cat "$work/chunk"; done > "$work/no-marker"
rm "$work/chunk"
cp "$work/no-marker" "$work/marker-end"
cp "$work/no-marker" "$work/marker-start"

# Writes an occurrence (signature, 2 bytes, release little-endian) at an offset.
put_marker() { # file offset release-bytes-as-octal-escapes
  printf "\\102\\060\\140\\021\\000\\000\\000\\000\\125\\125$3" |
    dd of="$1" bs=1 seek="$2" conv=notrunc status=none
}
put_marker "$work/marker-end" $((size - 4096)) '\340\056'   # 12000: max2010
put_marker "$work/marker-start" 512 '\260\066'              # 14000: max2012

now() { date +%s.%N; }
best_of_3() { # command...; prints the shortest wall time in seconds
  local best="" t0 t1 t
  for _ in 1 2 3; do
    t0=$(now); "$@" > /dev/null; t1=$(now)
    t=$(awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.6f", b - a }')
    if [ -z "$best" ] || awk -v t="$t" -v b="$best" 'BEGIN { exit !(t < b) }'; then best=$t; fi
  done
  echo "$best"
}
plain_read() { cat "$1"; }

status=0
printf '%-13s %-22s %11s %11s %7s %13s\n' file release plain_MB/s probe_MB/s ratio peak_RSS_KiB
for name in no-marker marker-end marker-start; do
  f="$work/$name"
  cat "$f" > /dev/null   # warm the page cache
  plain=$(best_of_3 plain_read "$f")
  probe_t=$(best_of_3 "$probe" "$f")
  out=$("$probe" "$f")
  release=$(sed -n 's/^release: //p' <<<"$out")
  rss=$(sed -n 's/^peak_rss_kib: //p' <<<"$out")
  if [ -x /usr/bin/time ]; then
    rss=$(/usr/bin/time -v "$probe" "$f" 2>&1 >/dev/null |
          sed -n 's/.*Maximum resident set size (kbytes): //p')
  fi
  read -r plain_mbs probe_mbs ratio < <(awk -v s="$size" -v p="$plain" -v q="$probe_t" \
    'BEGIN { printf "%.0f %.0f %.2f\n", s / 1e6 / p, s / 1e6 / q, p / q }')
  printf '%-13s %-22s %11s %11s %7s %13s\n' "$name" "$release" "$plain_mbs" "$probe_mbs" "$ratio" "$rss"

  case $name in
    no-marker)    want='无法获取版本.' ;;
    marker-end)   want='max2010' ;;
    marker-start) want='max2012' ;;
  esac
  if [ "$release" != "$want" ]; then echo "  unexpected release (want $want)"; status=1; fi
  if awk -v r="$ratio" 'BEGIN { exit !(r < 0.8) }'; then echo "  below 0.8 of plain read"; status=1; fi
  if [ "$rss" -ge $((32 * 1024)) ]; then echo "  peak memory not under 32 MiB"; status=1; fi
done
echo "(marker-start: the probe stops after its first 256 KiB block, so its figure is the file size over a very short run)"
exit $status

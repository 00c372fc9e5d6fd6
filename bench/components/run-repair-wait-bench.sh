#!/usr/bin/env bash
# Processor time of Tarvosetup while its repair batch runs, under Wine: the form's own
# batch handler runs a batch of about five seconds (a ping with five one-second pauses)
# and waits for it. Reported: the setup process's user and kernel time over the wait,
# and the time the prefix's wineserver spent meanwhile (a busy message loop makes the
# server work too), each as a share of one core. The same batch waited for by polling
# the exit code without sleeping is measured beside it for comparison.
# Goal: the setup process under 5 % of one core.
set -euo pipefail
cd "$(dirname "$0")/../.."
root=$(pwd)
bash scripts/build.sh >/dev/null
cmake --build --preset win64 --target repair_wait_bench >/dev/null

work="$root/build/bench-components"
source scripts/wine-env.sh
wine_session_start "$work"

# The prefix's server: the one working in the folder named after the prefix's device
# and inode.
server_dir=$(printf 'server-%x-%x' $(stat -c '%d %i' "$WINEPREFIX"))
server=
for pid in $(pgrep -x wineserver64 || true) $(pgrep -x wineserver || true); do
  case "$(readlink "/proc/$pid/cwd" 2>/dev/null)" in */"$server_dir") server=$pid ;; esac
done
[ -n "$server" ] || { echo "cannot find the prefix's wineserver" >&2; exit 1; }
ticks() { awk '{ print $14 + $15 }' "/proc/$server/stat"; }
hz=$(getconf CLK_TCK)

bench=build/win64/bench/components/repair_wait_bench.exe
for mode in "" poll; do
  for run in $(seq "${RUNS:-3}"); do
    before=$(ticks)
    start=$(date +%s.%N)
    line=$("$WINE" "$bench" $mode | tr -d '\r')
    wall=$(echo "$(date +%s.%N) - $start" | bc)
    server_cpu=$(echo "($(ticks) - $before) / $hz" | bc -l)
    printf '%s; wineserver %.2f s over %.2f s (%.1f %%)\n' "$line" "$server_cpu" "$wall" \
      "$(echo "100 * $server_cpu / $wall" | bc -l)"
  done
done

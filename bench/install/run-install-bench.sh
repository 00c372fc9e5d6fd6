#!/usr/bin/env bash
# Times the install step under Wine, from the click on "开始安装" to "完成", for a
# generated payload of 39 files and about 31 MB, next to copying the same files with cp
# in the same run.
set -euo pipefail
cd "$(dirname "$0")/../.."
root=$(pwd)
bash scripts/build.sh >/dev/null
cmake --build --preset win64 --target Tarvosetup_bench install_timer >/dev/null

work="$root/build/bench-install"
rm -rf "$work"
export WINEPREFIX="$work/prefix" TARVO_WINE_HOME="$work/home"
source scripts/wine-env.sh
source scripts/xvfb.sh
wine_prefix_init
xvfb_start
trap '"$WINESERVER" -k 2>/dev/null; xvfb_stop' EXIT
"$WINESERVER" -p

drive() { "$WINE" build/win64/tools/uidriver/uidriver.exe "$@"; }
caption="Tarvo资源管理系统 个人版 V1.42 安装程序"
payload=build/win64/bench/install/payload
c="$WINEPREFIX/drive_c"
runs=${RUNS:-3}

now() { date +%s.%N; }
for run in $(seq "$runs"); do
  rm -rf "$c/bench" "$c/copy"
  mkdir -p "$c/bench"
  cp build/win64/bench/install/Tarvosetup_bench.exe "$c/bench/"
  "$WINE" 'C:\bench\Tarvosetup_bench.exe' >/dev/null 2>&1 &
  setup_pid=$!
  drive wait "$caption" 20000 >/dev/null
  drive click "$caption" Button:我同意以上协议
  drive click "$caption" Button:下一步
  drive waittext "$caption" Button:下一步 下一步 >/dev/null
  drive state "$caption" Button:下一步 | grep -q enabled=1 || sleep 1
  drive click "$caption" Button:下一步
  drive settext "$caption" Edit:'D:\Tarvo\MirelMax' 'C:\bench\MirelMax'
  drive settext "$caption" Edit:'D:\Tarvo\MirelRES' 'C:\bench\MirelRES'
  drive settext "$caption" Edit:'D:\Tarvo\MirelBackUp' 'C:\bench\MirelBackUp'
  drive click "$caption" Button:下一步
  drive waittext "$caption" Button:开始安装 开始安装 >/dev/null
  install=$("$WINE" build/win64/bench/install/install_timer.exe | tr -d '\r')
  drive click "$caption" Button:完成
  wait "$setup_pid" || true
  sync
  start=$(now)
  cp -r "$payload/files" "$c/copy"
  copy=$(echo "$(now) - $start" | bc)
  cmp -s "$payload/files/kiwa.exe" "$c/bench/MirelMax/kiwa.exe" || { echo "installed kiwa.exe differs" >&2; exit 1; }
  printf 'run %d: install %.3f s, cp %.3f s, ratio %.1f\n' "$run" "$install" "$copy" "$(echo "$install / $copy" | bc -l)"
done
echo "payload: $(find "$payload/files" -type f | wc -l) files, $(du -sb "$payload/files" | cut -f1) bytes"

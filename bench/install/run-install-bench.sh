#!/usr/bin/env bash
# Times the install step under Wine, from the click on "开始安装" to "完成", for two
# payloads: the shipped product's 39 program files with a generated resource library of
# 5,000 small files and six large ones (about 100 MB), and the same with 500 small files.
# Next to each install, cp -r copies the same files in the same run.
#
#   bash bench/install/run-install-bench.sh          (RUNS=3 by default)
#   RUNS=1 SIZES="500" bash bench/install/run-install-bench.sh
set -euo pipefail
cd "$(dirname "$0")/../.."
root=$(pwd)
sizes=${SIZES:-"5000 500"}
runs=${RUNS:-3}
targets=(install_timer)
for size in $sizes; do targets+=("Tarvosetup_bench$size"); done
if [ -z "${TARVO_BENCH_NO_BUILD:-}" ]; then
  bash scripts/build.sh >/dev/null
  cmake --build --preset win64 --target "${targets[@]}" >/dev/null
fi

work="$root/build/bench-install"
source scripts/wine-env.sh
wine_session_start "$work"

drive() { "$WINE" build/win64/tools/uidriver/uidriver.exe "$@"; }
caption="Tarvo资源管理系统 个人版 V1.42 安装程序"
c="$WINEPREFIX/drive_c"
now() { date +%s.%N; }

shipped=(setup/payload/files build/win64/setup/payload/generated build/win64/setup/payload/built)
for size in $sizes; do
  bench=build/win64/bench/install/Tarvosetup_bench$size
  files=$(find "${shipped[@]}" "$bench/files" -type f | wc -l)
  echo "payload of $size small library files: $files files, $(du -scb "${shipped[@]}" "$bench/files" | tail -1 | cut -f1) bytes"
  for run in $(seq "$runs"); do
    rm -rf "$c/bench" "$c/copy"
    mkdir -p "$c/bench"
    cp "$bench.exe" "$c/bench/Tarvosetup_bench.exe"
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
    # Both sides start from the same state: the written files on their way to the disk.
    sync
    start=$(now)
    mkdir "$c/copy" "$c/copy/program"
    for folder in "${shipped[@]}"; do cp -r "$folder/." "$c/copy/program"; done
    cp -r "$bench/files" "$c/copy/library"
    copy=$(echo "$(now) - $start" | bc)
    sync
    installed=$(( $(find "$c/bench/MirelMax" "$c/bench/MirelRES" -type f | wc -l) - 1 )) # uninstall.lst
    [ "$installed" = "$files" ] || { echo "installed $installed files of $files" >&2; exit 1; }
    cmp -s build/win64/setup/payload/built/kiwa.exe "$c/bench/MirelMax/kiwa.exe" || { echo "installed kiwa.exe differs" >&2; exit 1; }
    printf 'run %d: install %.3f s, cp %.3f s, ratio %.2f, %.3f ms a file beyond the 100 ms pause\n' \
      "$run" "$install" "$copy" "$(echo "$install / $copy" | bc -l)" \
      "$(echo "($install - 0.1) * 1000 / $files" | bc -l)"
  done
done

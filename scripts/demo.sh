#!/usr/bin/env bash
# The scripted demo, for machines without a display: in a virtual display, the setup
# wizard is walked from the agreement to the finished install by the UI driver, with a
# screenshot of every page (the data-access components broken first, so that their
# page shows the repair); then Kelpview views a scene file the demo generates.
# Screenshots go to build/demo/.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
out="$root/build/demo"
rm -rf "$out"
mkdir -p "$out"

export WINEPREFIX="$root/build/demo-prefix/prefix"
export TARVO_WINE_HOME="$root/build/demo-prefix/home"
source scripts/wine-env.sh
source scripts/xvfb.sh
wine_prefix_init
# A machine with a second disk D: and without an earlier installation of Tarvo (an
# earlier demo leaves one in this prefix).
wine_map_d_drive
rm -rf "$WINEPREFIX/drive_c/Tarvo"
[ -n "$TARVO_D_DRIVE" ] && rm -rf "$TARVO_D_DRIVE/Tarvo"
"$WINE" reg delete 'HKLM\Software\MirelMax' /f >/dev/null 2>&1 || true
# Every program of the demo, the driver included, in one virtual desktop: it draws the
# title bars that Xvfb alone lacks, and the driver sees the windows it holds.
"$WINE" reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null 2>&1
"$WINE" reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 800x600 /f >/dev/null 2>&1
xvfb_start
trap '"$WINESERVER" -k 2>/dev/null; xvfb_stop' EXIT
# The ADO library unregistered, as on a machine with broken data-access components:
# the component page shows its repair.
if ! "$WINE" regsvr32 /u /s 'C:\Program Files\Common Files\System\ADO\msado15.dll' >/dev/null 2>&1; then
  echo "demo: the ADO library could not be unregistered; the component page will show no repair" >&2
fi

drive() { "$WINE" build/win64/tools/uidriver/uidriver.exe "$@"; }
shot() { import -window root -crop 800x600+0+0 "$out/$1.png"; echo "screenshot: build/demo/$1.png"; }
start() { "$WINE" "$@" >/dev/null 2>&1 & }

# --- Tarvosetup ----------------------------------------------------------------------
setup_caption="Tarvo资源管理系统 个人版 V1.42 安装程序"
source scripts/setup-ids.sh

cp build/win64/setup/Tarvosetup.exe "$WINEPREFIX/drive_c/Tarvosetup.exe"
start 'C:\Tarvosetup.exe'
drive wait "$setup_caption" 20000 >/dev/null
sleep 1; shot setup-1-agreement
drive click "$setup_caption" "${ctl[IdCheckBox1]}"
drive click "$setup_caption" "${ctl[IdNextOkbt]}"
checked=0
for _ in $(seq 300); do
  case "$(drive gettext "$setup_caption" "${ctl[IdMemo1]}")" in
  *尝试修复完毕.* | *不用修复*) drive state "$setup_caption" "${ctl[IdNextOkbt]}" | grep -q enabled=1 && checked=1 && break ;;
  esac
  sleep 0.2
done
if [ "$checked" = 0 ]; then
  echo "demo: the component check did not let the wizard go on:" >&2
  drive gettext "$setup_caption" "${ctl[IdMemo1]}" >&2
  exit 1
fi
sleep 1; shot setup-2-components
echo "components: $(drive gettext "$setup_caption" "${ctl[IdMemo1]}")"
drive click "$setup_caption" "${ctl[IdNextOkbt]}"
drive settext "$setup_caption" "${ctl[IdSetpDirET]}" 'C:\Tarvo\MirelMax'
drive settext "$setup_caption" "${ctl[IdResDirET]}" 'C:\Tarvo\MirelRES'
drive settext "$setup_caption" "${ctl[IdMrBackUPet]}" 'C:\Tarvo\MirelBackUp'
sleep 1; shot setup-3-directories
drive click "$setup_caption" "${ctl[IdNextOkbt]}"
sleep 1; shot setup-4-ready
drive click "$setup_caption" "${ctl[IdNextOkbt]}"
for _ in $(seq 100); do
  [ "$(drive gettext "$setup_caption" "${ctl[IdNextOkbt]}")" = "完成" ] && break
  sleep 0.2
done
sleep 1; shot setup-5-installed
echo "install log:"
drive gettext "$setup_caption" "${ctl[IdCxMemo2]}"
drive click "$setup_caption" "${ctl[IdNextOkbt]}"
while drive wait "$setup_caption" 200 >/dev/null 2>&1; do sleep 0.2; done
echo "Tarvosetup closed"

# --- Tarvosetup again: the upgrade over the earlier installation -------------------------
# The user has worked with the application since: the resource library moved to the
# second disk D:, categories and keywords of their own in the database. The application
# is running when the setup program starts again. The directory page finds the earlier
# installation and offers to keep its information; the install stops the application
# and keeps the user's database.
db="$WINEPREFIX/drive_c/Tarvo/MirelMax/data/kiwa.db"
show_user_data() {
  sqlite3 -separator ' | ' "$db" "SELECT 'mrconfig', mrrespath, softkey FROM mrconfig;
    SELECT 'mrclass', classid, classname FROM mrclass WHERE classid >= 100;
    SELECT 'mrkeyword', keywordid, keyword FROM mrkeyword ORDER BY keywordid;"
}
mkdir -p "$TARVO_D_DRIVE/Tarvo/我的资源库"
sqlite3 "$db" "UPDATE mrconfig SET mrrespath = 'D:\Tarvo\我的资源库';
  INSERT INTO mrclass (classid, parentid, classname) VALUES (100, 4, '我的沙发');
  INSERT INTO mrkeyword (keyword) VALUES ('客厅'), ('北欧风格');"
echo "the user's database before the upgrade:"
show_user_data
start 'C:\Tarvo\MirelMax\kiwa.exe'
drive wait kiwa 20000 >/dev/null
echo "kiwa.exe is running"

start 'C:\Tarvosetup.exe'
drive wait "$setup_caption" 20000 >/dev/null
drive click "$setup_caption" "${ctl[IdCheckBox1]}"
drive click "$setup_caption" "${ctl[IdNextOkbt]}"
for _ in $(seq 100); do
  drive state "$setup_caption" "${ctl[IdNextOkbt]}" | grep -q enabled=1 && break
  sleep 0.2
done
drive click "$setup_caption" "${ctl[IdNextOkbt]}"
drive waittext "$setup_caption" "${ctl[IdResDirET]}" 'D:\Tarvo\我的资源库' 20000 >/dev/null
sleep 1; shot setup-6-upgrade-directories
echo "earlier installation found: $(drive gettext "$setup_caption" "${ctl[IdHaveOldInfoCB]}")"
echo "  $(drive state "$setup_caption" "${ctl[IdHaveOldInfoCB]}" | tr '\n' ' ')"
for field in IdSetpDirET IdResDirET IdMrBackUPet; do
  echo "  $field: $(drive gettext "$setup_caption" "${ctl[$field]}")"
done
drive click "$setup_caption" "${ctl[IdNextOkbt]}"
drive waittext "$setup_caption" "${ctl[IdNextOkbt]}" "开始安装" 20000 >/dev/null
drive click "$setup_caption" "${ctl[IdNextOkbt]}"
drive waittext "$setup_caption" "${ctl[IdNextOkbt]}" "完成" 60000 >/dev/null
sleep 1; shot setup-7-upgraded
if drive wait kiwa 500 >/dev/null 2>&1; then echo "kiwa.exe is still running"; else echo "kiwa.exe was stopped"; fi
echo "the user's database after the upgrade:"
show_user_data
drive click "$setup_caption" "${ctl[IdNextOkbt]}"
while drive wait "$setup_caption" 200 >/dev/null 2>&1; do sleep 0.2; done
echo "Tarvosetup closed"

# --- Kelpview --------------------------------------------------------------------------
kelp_caption="3Zuveroru v1.0(支持max2012及以下所有版本)-Tarvo网出品"
scene="$WINEPREFIX/drive_c/demo-scene.max"
python3 - "$scene" <<'PY'
import struct, sys
body = b"\xd0\xcf\x11\xe0" + bytes(500) + bytes((0x42, 0x30, 0x60, 0x11, 0, 0, 0, 0, 0, 0)) + struct.pack("<H", 12000) + bytes(300)
open(sys.argv[1], "wb").write(body)
PY
start 'C:\Tarvo\MirelMax\app\Kelpview.exe'
drive wait "$kelp_caption" 20000 >/dev/null
drive settext "$kelp_caption" 104 'C:\demo-scene.max'
drive click "$kelp_caption" 107
sleep 1
echo "Kelpview: $(drive gettext "$kelp_caption" 108)"
shot kelpview
drive close "$kelp_caption"

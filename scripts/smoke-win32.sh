#!/usr/bin/env bash
# Smoke test of the release build: the i686 Kelpview.exe and Tarvosetup.exe run under
# Debian's 32-bit Wine, driven by the i686 build of our UI driver.
#
# The kernel of these machines runs no 32-bit Linux programs, so every 32-bit Wine
# process is started through qemu-i386 (user-mode emulation): a folder of our own holds
# a copy of Wine's i386 loader and a `wine` script that runs it under the emulator, and
# Wine starts every further process through that script. It is slow (one program start
# takes about a minute, the first start after the Wine server came up about five) and
# the emulator breaks a start now and then: such a start is retried, and a failure of
# the emulation is reported as such, apart from failures of our programs.
#
# What it checks:
#  - Kelpview views two generated scene files and shows the right result lines: one with
#    the marker in its first block, one of more than 4 GiB with the marker in its last
#    bytes (sparse: it costs no disk). The emulated processor has AVX2, so the vector
#    search and the 64-bit file offsets run in the 32-bit program.
#  - Tarvosetup walks from the agreement to "完成" on a machine without an earlier
#    installation, installing into a folder of the run's own; every installed file
#    equals its source (the two files that the install step rewrites only have to be
#    there), and the install step's log, database, configuration, registry values, file
#    type and desktop shortcut are as it writes them.
#  - It leaves screenshots of both windows, with their Chinese texts, in
#    build/smoke-win32/shots/ for a person to look at.
#
# Everything stays under build/smoke-win32/: the emulated Wine's folder, the 32-bit
# prefix (made on the first run and kept), the scene files, the install, the logs.
# Exit code: 0 all checks passed, 1 a check of our programs failed, 2 the emulation
# failed (retries included) before the checks could finish, 3 the run could not be set
# up (packages, build, display, another run going on), 130 interrupted.
#
# Not part of scripts/test.sh or CI: a run takes ten minutes, the first one 30. It
# installs packages, so it runs as root.
set -uo pipefail
cd "$(dirname "$0")/.." || exit 3
root=$(pwd)
out=$root/build/smoke-win32
mkdir -p "$out"
# Heavy work on a shared machine: everything below runs at the lowest priority.
renice -n 19 $$ >/dev/null
# A driver or program that has gone makes a write fail, not this script. (Caught, not
# ignored: the programs started from here keep the usual behaviour.)
trap : PIPE

started=$(date +%s)
phase_started=$started
timings=()
# Records how long the phase that ends now took.
phase_done() {
  local now
  now=$(date +%s)
  timings+=("$(printf '%-34s %5d s' "$1" $((now - phase_started)))")
  phase_started=$now
}

failures=()
emulation_failures=()
setup_failure=
fail() { failures+=("$1"); echo "FAIL: $1"; }
emulation_failed() { emulation_failures+=("$1"); echo "EMULATION FAILED: $1"; }
setup_failed() { setup_failure=$1; echo "CANNOT SET UP: $1" >&2; exit 3; }

# One run at a time: a second one would stop this one's Wine server and delete its files.
exec 9>"$out/.lock"
flock -n 9 || {
  echo "another smoke test is running, or processes of an earlier one are left (fuser build/smoke-win32/.lock)" >&2
  exit 3
}

# --- Stopping and the summary ----------------------------------------------------------------
# Whatever ends the run (the end, a failure, an interrupt) stops what it started and
# prints the timings and the verdict.
WINESERVER=
wine_job=
programs=()
scene_big=$out/scenes/big.max
stop_driver() {
  [ -n "${DRIVER_PID:-}" ] || return 0
  kill "$DRIVER_PID" 2>/dev/null
  wait "$DRIVER_PID" 2>/dev/null
  DRIVER_PID=
}
stop_everything() {
  local pid
  for pid in "${programs[@]}" $wine_job; do kill "$pid" 2>/dev/null; done
  stop_driver
  [ -n "$WINESERVER" ] && "$WINESERVER" -k 2>/dev/null
  declare -F xvfb_stop >/dev/null && xvfb_stop
  rm -f "$scene_big"
}
finish() {
  local code=$? now
  trap - EXIT INT TERM
  stop_everything
  now=$(date +%s)
  timings+=("$(printf '%-34s %5d s' total $((now - started)))")
  echo
  echo "timings:"
  printf '  %s\n' "${timings[@]}"
  if [ "${#emulation_failures[@]}" -gt 0 ]; then
    echo "the emulation failed (qemu-i386 or Wine under it, not our programs):"
    printf '  %s\n' "${emulation_failures[@]}"
  fi
  if [ "${#failures[@]}" -gt 0 ]; then
    echo "failed checks of our programs:"
    printf '  %s\n' "${failures[@]}"
  fi
  if [ "$code" = 130 ]; then
    echo "interrupted"
  elif [ -n "$setup_failure" ]; then
    code=3
  elif [ "${#failures[@]}" -gt 0 ]; then
    code=1
  elif [ "${#emulation_failures[@]}" -gt 0 ]; then
    code=2
  elif [ "$code" != 0 ]; then
    echo "the smoke test stopped unexpectedly (exit code $code)"
    code=3
  else
    echo "smoke test of the release build: all checks passed"
  fi
  exit "$code"
}
trap finish EXIT
trap 'exit 130' INT TERM

# --- Packages ----------------------------------------------------------------------------
# qemu-user and Debian's 32-bit Wine (multiarch i386) with the X libraries it loads at
# run time. The 64-bit Wine of the tests stays as it is.
i386_packages=(wine32:i386 libxrender1:i386 libxrandr2:i386 libxi6:i386 libxcursor1:i386
               libxcomposite1:i386 libxfixes3:i386 libxinerama1:i386)
other_packages=(qemu-user xvfb x11-utils imagemagick fonts-wqy-microhei fonts-wine locales sqlite3)
install_packages() {
  local p missing=0
  for p in "${i386_packages[@]}" "${other_packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing=1
  done
  [ "$missing" = 0 ] && return 0
  echo "installing qemu-user and the 32-bit Wine ..."
  dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq &&
    apt-get install -y -qq --no-install-recommends "${i386_packages[@]}" "${other_packages[@]}" >/dev/null
}
install_packages || setup_failed "cannot install the packages of the 32-bit Wine"
if ! locale -a 2>/dev/null | grep -qi '^zh_CN\.utf-\?8$'; then
  localedef -i zh_CN -f UTF-8 zh_CN.UTF-8 || setup_failed "cannot make the locale zh_CN.UTF-8 (code page 936)"
fi
# The tests call the 64-bit Wine directly; the 32-bit one must not have disturbed it.
/usr/lib/wine/wine64 --version >/dev/null 2>&1 ||
  setup_failed "the 64-bit Wine (/usr/lib/wine/wine64) no longer starts"
phase_done "packages"

# --- The release build -------------------------------------------------------------------
{ [ -f build/win32/build.ninja ] || cmake --preset win32 >/dev/null; } && cmake --build --preset win32 ||
  setup_failed "the win32 build failed"
kelpview=$root/build/win32/viewer/Kelpview.exe
setup=$root/build/win32/setup/Tarvosetup.exe
driver=$root/build/win32/tools/uidriver/uidriver.exe
phase_done "win32 build"

# --- The emulated Wine ---------------------------------------------------------------------
# Wine's i386 loader looks for its libraries beside its own folder and starts further
# processes through the file `wine` in it, and the server through `wineserver`; the
# emulator reports the copied loader as the running program, so the layout below sends
# every Wine process through qemu-i386. The server is the 64-bit one: it runs natively
# and serves 32-bit processes. The emulated processor is qemu's "max": it has AVX2.
winedir=$out/wine
mkdir -p "$winedir/lib/wine" "$winedir/share"
cmp -s /usr/lib/wine/wine "$winedir/lib/wine/wine.elf" || cp /usr/lib/wine/wine "$winedir/lib/wine/wine.elf"
ln -sfn /usr/lib/wine/wineserver64 "$winedir/lib/wine/wineserver"
ln -sfn /usr/lib/i386-linux-gnu "$winedir/lib/i386-linux-gnu"
ln -sfn /usr/share/wine "$winedir/share/wine"
cat >"$winedir/lib/wine/wine" <<EOF
#!/bin/sh
exec qemu-i386 -L / -cpu max -0 "$winedir/lib/wine/wine" "$winedir/lib/wine/wine.elf" "\$@"
EOF
chmod +x "$winedir/lib/wine/wine"
WINE=$winedir/lib/wine/wine
WINESERVER=$winedir/lib/wine/wineserver

export WINEPREFIX=$out/prefix WINEARCH=win32 WINEDEBUG=-all
export LANG=zh_CN.UTF-8 LC_ALL=zh_CN.UTF-8
export WINEDLLOVERRIDES="mscoree=d;mshtml=d;winemenubuilder.exe=d;winedbg.exe=d"
export HOME=$out/home
mkdir -p "$HOME"

# A Windows name for a file here (drive Z: is the Linux root).
winpath() { printf 'Z:%s' "${1//\//\\}"; }

# Lines that only a broken emulation writes: the emulator's own reports, and Wine's when
# its loader or its connection to the server broke. (A crash of our program is not among
# them, though the emulator may have caused it.)
emulation_signs='^qemu:|uncaught target signal|unhandled CPU exception|unexpected trap|could not load (kernel32|ntdll)|wine client error|stack smashing'
# What a log says of a failure: its first sign of a broken emulation, else its last line.
log_report() {
  grep -Eam1 "$emulation_signs" "$1" 2>/dev/null || tail -n1 "$1" 2>/dev/null
}
emulation_broke() { grep -Eqa "$emulation_signs" "$1" 2>/dev/null; }

# Runs a Wine program to its end, within the seconds given; its output goes to the file.
# Returns its exit code (124 on timeout). Waited for in the background, so that an
# interrupt ends the run at once.
run_wine() {
  local seconds=$1 log=$2 rc
  shift 2
  timeout -k 10 "$seconds" "$WINE" "$@" >"$log" 2>&1 </dev/null &
  wine_job=$!
  wait "$wine_job"
  rc=$?
  wine_job=
  return "$rc"
}

# --- The 32-bit prefix, made once -------------------------------------------------------------
# The first start of a new prefix takes ten minutes and more under the emulator: Wine's
# services crash there and the start waits out the boot. No virtual desktop: its window
# belongs to Wine's explorer process, which the emulator may crash too, and every window
# opened after that fails. The prefix counts as made once Wine has written its time
# stamp (the last step of the setup of a prefix) and a later process ran to its end.
make_prefix() {
  [ -f "$WINEPREFIX/.smoke-ready" ] && return 0
  echo "making the 32-bit prefix (once; about 20 minutes) ..."
  rm -rf "$WINEPREFIX"
  local try
  for try in 1 2 3; do
    "$WINESERVER" -k 2>/dev/null
    # The first process may give up before the boot has finished (the boot goes on in
    # processes of its own); a second one waits it out. Some of the boot's processes
    # never end under the emulator: the server is stopped, which saves the registry.
    run_wine 1800 "$out/prefix-boot.log" wineboot -i
    if run_wine 1200 "$out/prefix-boot2.log" cmd /c exit &&
       [ -f "$WINEPREFIX/.update-timestamp" ] && [ -f "$WINEPREFIX/system.reg" ] &&
       [ -f "$WINEPREFIX/drive_c/windows/system32/kernel32.dll" ]; then
      "$WINESERVER" -k 2>/dev/null
      "$WINESERVER" -w 2>/dev/null
      touch "$WINEPREFIX/.smoke-ready"
      return 0
    fi
    echo "the prefix is not ready yet (try $try): $(log_report "$out/prefix-boot2.log")"
  done
  "$WINESERVER" -k 2>/dev/null
  return 1
}
if ! make_prefix; then
  emulation_failed "the 32-bit prefix could not be made (see build/smoke-win32/prefix-*.log)"
  exit 2
fi
phase_done "32-bit prefix"

# --- One display and one Wine server for the whole run ------------------------------------------
source scripts/xvfb.sh
xvfb_start || setup_failed "cannot start Xvfb"
"$WINESERVER" -k 2>/dev/null
"$WINESERVER" -w 2>/dev/null

# The value of a machine registry key as system.reg holds it, in the file's own escaping
# (machine_value <key as the file writes it> <name>; "@" the default value). The Wine
# server writes the file when it ends.
machine_value() {
  local name="\"$2\"="
  [ "$2" = @ ] && name="@="
  KEY="[$1]" NAME=$name awk '
    substr($0, 1, 1) == "[" { inside = (tolower($1) == tolower(ENVIRON["KEY"])); next }
    inside && index($0, ENVIRON["NAME"]) == 1 { print substr($0, length(ENVIRON["NAME"]) + 1); exit }
  ' "$WINEPREFIX/system.reg"
}

# Each run installs on a machine without an earlier installation: the registry keys and
# the shortcut that the last run's install made go (the server reads the registry's
# files when it starts).
awk '
  substr($0, 1, 1) == "[" {
    key = tolower($1)
    drop = key == "[software\\\\mirelmax]" || key == "[software\\\\classes\\\\.tvk]" ||
           index(key, "[software\\\\classes\\\\.tvk\\\\") == 1 ||
           index(key, "[software\\\\classes\\\\tarvo.tvkfile") == 1
  }
  !drop' "$WINEPREFIX/system.reg" >"$WINEPREFIX/system.reg.new" &&
  mv "$WINEPREFIX/system.reg.new" "$WINEPREFIX/system.reg"
[ -z "$(machine_value 'Software\\MirelMax' MirelMaxPath)" ] &&
  [ -z "$(machine_value 'Software\\Classes\\.tvk' @)" ] ||
  setup_failed "the last run's registry keys are still in $WINEPREFIX/system.reg"
find "$WINEPREFIX/drive_c/users" "$HOME" -name 'Tarvo资源管理系统.lnk' -delete 2>/dev/null
"$WINESERVER" -p

shots=$out/shots
rm -rf "$shots" "$out/logs"
mkdir -p "$shots" "$out/logs"
# The screen cut to its windows: without a window manager they have no frames of their own.
# A few seconds first: the emulated program paints slowly.
shot() {
  sleep 5
  if import -display "$DISPLAY" -window root -trim +repage "$shots/$1.png"; then
    echo "screenshot: build/smoke-win32/shots/$1.png"
  else
    fail "no screenshot $1.png could be taken"
  fi
}

# The first process waits until Wine has started up under the emulator.
boot_ok=0
for try in 1 2 3; do
  if run_wine 1200 "$out/logs/boot.log" cmd /c exit; then boot_ok=1; break; fi
  echo "Wine did not start (try $try): $(log_report "$out/logs/boot.log")"
done
if [ "$boot_ok" = 0 ]; then
  emulation_failed "Wine did not start under qemu-i386 in three tries (see build/smoke-win32/logs/boot.log)"
  exit 2
fi
phase_done "Wine start-up"

# --- Driving ------------------------------------------------------------------------------------
# The UI driver serves the whole run from one process (`uidriver serve`): each start costs
# a minute under the emulator. It is started again when the emulation has broken it.
start_driver() {
  coproc DRIVER { exec "$WINE" "$driver" serve 2>>"$out/logs/driver.err"; }
}

# drive <command> <args>...: one command of the UI driver; prints what it printed.
# Returns 0 when the command succeeded, 1 when it failed (the reason is in $drive_error),
# 2 when the emulation broke the driver (it ended without an answer).
drive_error=
drive() {
  local line reply=() code request to from
  if [ -z "${DRIVER_PID:-}" ] || ! kill -0 "$DRIVER_PID" 2>/dev/null; then start_driver; fi
  # The words joined by tabs (no subshell: it would not have the driver's pipes). Bash
  # drops the pipes' names once the driver has ended: then nothing is sent.
  printf -v request '%s\t' "$@"
  to=${DRIVER[1]:-} from=${DRIVER[0]:-}
  if [ -n "$to" ] && [ -n "$from" ] && printf '%s\n' "${request%$'\t'}" 2>/dev/null 1>&"$to"; then
    # The longest command waits 25 minutes.
    while IFS= read -r -t 1800 line <&"$from"; do
      line=${line%$'\r'}
      if [[ $line == "=== "* ]]; then
        code=${line:4:1}
        drive_error=${line:6}
        [ "$code" = 2 ] && code=1 # wrong usage: a failure of this script's, not the emulation's
        [ "${#reply[@]}" -gt 0 ] && printf '%s\n' "${reply[@]}"
        return "$code"
      fi
      reply+=("$line")
    done 2>/dev/null
  fi
  drive_error="the driver ended without an answer to \"$1\" ($(log_report "$out/logs/driver.err"))"
  stop_driver
  return 2
}

# start_program <name> <exe> [folder]: starts a program in the background; its PID (the
# emulator's) goes to $program_pid, its output to $program_log.
program_pid='' program_log=''
start_program() {
  local name=$1 exe=$2 dir=${3:-$out}
  program_log=$out/logs/$name.log
  (cd "$dir" && exec "$WINE" "$exe" >"$program_log" 2>&1 </dev/null) &
  program_pid=$!
  programs+=("$program_pid")
}

# step <what> <command> <args>...: one driver command of a walk. A failure is recorded as
# a failed check of <what>, unless the program ended under a broken emulation: that is
# returned as 2, for the walk to start over. Returns drive's code.
step() {
  local what=$1 rc
  shift
  drive "$@" >"$out/logs/step.out"
  rc=$?
  if [ "$rc" = 1 ] && ! kill -0 "$program_pid" 2>/dev/null; then
    if emulation_broke "$program_log"; then
      drive_error="the program ended under the emulator: $(log_report "$program_log")"
      return 2
    fi
    fail "$what: the program ended ($(log_report "$program_log")); the driver's $1 failed: $drive_error"
    return 1
  fi
  [ "$rc" = 1 ] && fail "$what: the driver's $1 failed: $drive_error"
  return "$rc"
}

# open_window <name> <caption> <exe> [folder]: starts the program until its window is
# there, retrying a start that the emulation broke. Returns 0, 1 (a failure of the
# program's: no window, or a start that failed three times without a sign of the
# emulation) or 2 (the emulation failed).
open_window() {
  local name=$1 caption=$2 exe=$3 dir=${4:-$out} try rc waited broken=0
  for try in 1 2 3; do
    start_program "$name" "$exe" "$dir"
    # Waited for in slices, so that a program that has ended is noticed at once.
    for ((waited = 0; waited < 900; waited += 30)); do
      drive wait "$caption" 30000 >/dev/null
      rc=$?
      [ "$rc" = 0 ] && return 0
      [ "$rc" = 2 ] && return 2
      kill -0 "$program_pid" 2>/dev/null || break
    done
    if kill -0 "$program_pid" 2>/dev/null; then
      fail "$name runs but shows no window within 15 minutes: $drive_error"
      return 1
    fi
    emulation_broke "$program_log" && broken=1
    echo "  $name ended before its window came (try $try): $(log_report "$program_log")"
  done
  if [ "$broken" = 0 ]; then
    fail "$name ended before its window came, three times: $(log_report "$program_log")"
    return 1
  fi
  drive_error="$name ended before its window came, three times"
  return 2
}

# retried <what> <function>: runs the function, and again when the emulation broke it
# (it returned 2), three times at the most. Returns the function's last code.
retried() {
  local what=$1 run=$2 try rc
  for try in 1 2 3; do
    "$run"
    rc=$?
    [ "$rc" != 2 ] && return "$rc"
    kill "$program_pid" 2>/dev/null
    echo "  the emulation failed during $what (try $try): $drive_error"
  done
  emulation_failed "$what: $drive_error"
  return 2
}

# Waits until the program's process has ended, up to the seconds given.
wait_ended() {
  local pid=$1 seconds=$2
  for _ in $(seq "$seconds"); do
    kill -0 "$pid" 2>/dev/null || return 0
    sleep 1
  done
  return 1
}

# --- Kelpview -----------------------------------------------------------------------------------
kelp_caption="3Zuveroru v1.0(支持max2012及以下所有版本)-Tarvo网出品"
# Control IDs of Kelpview's window (viewer/KelpviewIds.h).
kelp_name=104 kelp_memo=106 kelp_view=107 kelp_result=108

# A marker occurrence: the 8-byte signature, 2 bytes not examined, the release (little-endian).
marker() { printf '\x42\x30\x60\x11\x00\x00\x00\x00\x99\x99'"$1"; }
mkdir -p "$out/scenes"
scene_small=$out/scenes/small.max
# 1 MiB, the marker at byte 1000, release 12000 (0x2EE0).
head -c 1048576 /dev/zero | tr '\0' 'Z' >"$scene_small"
marker '\xe0\x2e' | dd of="$scene_small" bs=1 seek=1000 conv=notrunc status=none
# 4 GiB + 300 KiB + 11 bytes, sparse, the marker in the last 12 bytes, release 14000
# (0x36B0): its first byte is the last of the last 64-byte round of the vector search.
big_size=$((4 * 1024 * 1024 * 1024 + 300 * 1024 + 11))
rm -f "$scene_big"
truncate -s $((big_size - 12)) "$scene_big"
marker '\xb0\x36' >>"$scene_big"
[ "$(stat -c %s "$scene_big")" = "$big_size" ] || setup_failed "cannot make the large scene file"

# view <scene> <expected result line> <label> <ms>: types the name, clicks "查看" and
# checks both result lines, waiting up to <ms> for the result.
view() {
  local scene=$1 expected=$2 label=$3 ms=$4 name clicked rc memo
  name=$(winpath "$scene")
  step Kelpview settext "$kelp_caption" "$kelp_name" "$name" || return $?
  step Kelpview click "$kelp_caption" "$kelp_view" || return $?
  clicked=$(date +%s)
  step "Kelpview, $label" waittext "$kelp_caption" "$kelp_result" "$expected" "$ms"
  rc=$?
  [ "$rc" = 2 ] && return 2
  echo "  $label: result seen $(($(date +%s) - clicked)) s after the click"
  [ "$rc" = 0 ] || return 1
  step Kelpview gettext "$kelp_caption" "$kelp_memo" || return $?
  memo=$(cat "$out/logs/step.out")
  if [ "$memo" != "Max文件:$name" ]; then
    fail "Kelpview, $label: the memo reads \"$memo\", not \"Max文件:$name\""
    return 1
  fi
  echo "  $label: $expected"
}

run_kelpview() {
  open_window kelpview "$kelp_caption" "$(winpath "$kelpview")" || return $?
  view "$scene_small" "此文件版本:max2010" "marker in the first block" 300000 || return $?
  shot kelpview
  view "$scene_big" "此文件版本:max2012" "marker at the end of $big_size bytes" 600000 || return $?
  drive close "$kelp_caption" >/dev/null
  wait_ended "$program_pid" 300 || fail "Kelpview did not end after its window was closed"
  return 0
}

echo "Kelpview (the i686 build) ..."
# An emulation failure anywhere in the view starts Kelpview over.
retried "Kelpview's run" run_kelpview
rm -f "$scene_big"
phase_done "Kelpview: start, both scenes"

# --- Tarvosetup ---------------------------------------------------------------------------------
setup_caption="Tarvo资源管理系统 个人版 V1.42 安装程序"
source scripts/setup-ids.sh
for name in IdNextOkbt IdCheckBox1 IdMemo1 IdSetpDirET IdResDirET IdMrBackUPet IdCxMemo2; do
  [ -n "${ctl[$name]:-}" ] || setup_failed "setup/SetupIds.h names no control $name"
done

setup_dir=$out/run/setup
install_dir=$out/run/install
program_dir=$install_dir/Tarvo/MirelMax

# The component check: the 32-bit prefix has working data-access components, so the page
# says so. A repair that worked is taken too.
pass_component_page() {
  local memo
  drive waittext "$setup_caption" "${ctl[IdMemo1]}" "你的MDAC组件正常不用修复,点击下一步继续安装!" 600000 >/dev/null
  case $? in
    0) echo "  component check: the components work" ;;
    2) return 2 ;;
    *) step Tarvosetup gettext "$setup_caption" "${ctl[IdMemo1]}" || return $?
       memo=$(cat "$out/logs/step.out")
       if [ "$(printf '%s\n' "$memo" | tail -n 1)" != "尝试修复完毕." ]; then
         fail "Tarvosetup: the component check did not pass: \"$memo\""
         return 1
       fi
       echo "  component check: repaired ($memo)" ;;
  esac
  step Tarvosetup waittext "$setup_caption" "${ctl[IdNextOkbt]}" "下一步" 60000 || return $?
  step Tarvosetup state "$setup_caption" "${ctl[IdNextOkbt]}" || return $?
  grep -q 'enabled=1' "$out/logs/step.out" && return 0
  fail "Tarvosetup: the component check ends with Next disabled"
  return 1
}

run_setup() {
  local t=Tarvosetup next=${ctl[IdNextOkbt]} rc
  rm -rf "$out/run"
  mkdir -p "$setup_dir" "$install_dir"
  cp "$setup" "$setup_dir/Tarvosetup.exe"
  open_window tarvosetup "$setup_caption" 'Tarvosetup.exe' "$setup_dir" || return $?
  # Once the window answers, it has been made.
  step $t state "$setup_caption" "${ctl[IdCheckBox1]}" || return $?
  shot setup-1-agreement
  step $t click "$setup_caption" "${ctl[IdCheckBox1]}" || return $?
  step $t click "$setup_caption" "$next" || return $?
  pass_component_page || return $?
  shot setup-2-components
  step $t click "$setup_caption" "$next" || return $?
  step $t settext "$setup_caption" "${ctl[IdSetpDirET]}" "$(winpath "$program_dir")" || return $?
  step $t settext "$setup_caption" "${ctl[IdResDirET]}" "$(winpath "$install_dir/Tarvo/MirelRES")" || return $?
  step $t settext "$setup_caption" "${ctl[IdMrBackUPet]}" "$(winpath "$install_dir/Tarvo/MirelBackUp")" || return $?
  shot setup-3-directories
  step $t click "$setup_caption" "$next" || return $?
  step "$t, directory page" waittext "$setup_caption" "$next" "开始安装" 600000 || return $?
  step $t click "$setup_caption" "$next" || return $?
  step "$t, install" waittext "$setup_caption" "$next" "完成" 1500000
  rc=$?
  drive gettext "$setup_caption" "${ctl[IdCxMemo2]}" >"$out/logs/install.log"
  echo "  install log: build/smoke-win32/logs/install.log ($(grep -c . "$out/logs/install.log") lines)"
  [ "$rc" = 0 ] || return "$rc"
  shot setup-5-installed
  step $t click "$setup_caption" "$next" || return $?
  wait_ended "$program_pid" 600 || fail "Tarvosetup did not end after \"完成\""
  return 0
}

# Compares every file of the manifest with its source.
compare_install() {
  local manifest=$root/setup/payload/setup.ini entry rel installed source roots count
  local entries=() equal=0 present=0
  roots=("$root/setup/payload/files" "$root/build/win32/setup/payload/generated"
         "$root/build/win32/setup/payload/built")
  # The manifest is in code page 936; Wine names the installed files in UTF-8.
  if ! mapfile -t entries < <(iconv -f GBK -t UTF-8 "$manifest" | tr -d '\r' | sed -n 's/^F[0-9][0-9]*=//p' &&
                              echo "read whole"); then
    fail "cannot read the manifest $manifest"
    return 1
  fi
  if [ "${entries[-1]:-}" != "read whole" ]; then
    fail "the manifest $manifest could not be read to its end (code page 936)"
    return 1
  fi
  unset 'entries[-1]'
  count=$(tr -d '\r' <"$manifest" | sed -n 's/^[Cc]ount=//p' | head -n 1)
  if [ -z "$count" ] || [ "${#entries[@]}" != "$count" ]; then
    fail "the manifest lists ${#entries[@]} files, its count says \"$count\""
    return 1
  fi
  for entry in "${entries[@]}"; do
    rel=${entry//\\//}
    installed=$program_dir$rel
    if [ ! -f "$installed" ]; then
      fail "Tarvosetup: $rel was not installed"
      continue
    fi
    case "$rel" in
      # Rewritten by the install step: present is enough.
      /config/config.ini | /data/kiwa.db) present=$((present + 1)); continue ;;
    esac
    source=
    for r in "${roots[@]}"; do
      [ -f "$r$rel" ] && { source=$r$rel; break; }
    done
    if [ -z "$source" ]; then
      fail "Tarvosetup: no source for $rel"
    elif cmp -s "$installed" "$source"; then
      equal=$((equal + 1))
    else
      fail "Tarvosetup: the installed $rel differs from ${source#"$root"/}"
    fi
  done
  echo "  installed files: $equal equal to their sources, $present present (rewritten by the install)"
}

# A Windows name as Wine's registry files write it: every backslash doubled.
reg_escaped() { local w; w=$(winpath "$1"); printf '%s' "${w//\\/\\\\}"; }

# What the install step does beyond the files: the install log's closing lines, the
# database and configuration it updates, the file type through the i686 ZT_Icon.dll, the
# registry values and the desktop shortcut.
check_install_step() {
  local log tail database config key shortcut value failed_before=${#failures[@]}
  log=$(tr -d '\r' <"$out/logs/install.log")
  tail=$(printf '%s\n' "$log" | grep -v '^$' | tail -n 2 | tr '\n' '|')
  [ "$tail" = "写入数据成功!|已完成所有安装...|" ] ||
    fail "Tarvosetup: the install log does not end with the data step: \"$tail\""
  printf '%s\n' "$log" | grep -qx '注册TVK文件成功! ' ||
    fail "Tarvosetup: the .tvk file type was not registered (no \"注册TVK文件成功! \" in the install log)"

  database=$program_dir/data/kiwa.db
  value=$(sqlite3 "$database" 'SELECT mrrespath FROM mrconfig' 2>&1)
  [ "$value" = "$(winpath "$install_dir/Tarvo/MirelRES")" ] ||
    fail "Tarvosetup: the database's resource directory reads \"$value\""
  key=$(sqlite3 "$database" 'SELECT softkey FROM mrconfig' 2>&1)
  [[ $key =~ ^[0-9a-f]{32}$ ]] || fail "Tarvosetup: the installation key reads \"$key\""
  config=$(iconv -f GBK -t UTF-8 "$program_dir/config/config.ini" | tr -d '\r')
  printf '%s\n' "$config" | grep -qxF "backupPath=$(winpath "$install_dir/Tarvo/MirelBackUp")" ||
    fail "Tarvosetup: config.ini has no backupPath line with the backup directory"

  shortcut=$(find "$WINEPREFIX/drive_c/users" "$HOME" -name 'Tarvo资源管理系统.lnk' 2>/dev/null | head -n 1)
  [ -n "$shortcut" ] || fail "Tarvosetup: no desktop shortcut \"Tarvo资源管理系统.lnk\" was made"

  # The server writes the registry to its files when it ends.
  stop_driver
  "$WINESERVER" -k 2>/dev/null
  "$WINESERVER" -w 2>/dev/null
  value=$(machine_value 'Software\\MirelMax' MirelMaxPath)
  [ "$value" = "\"$(reg_escaped "$program_dir")\"" ] ||
    fail "Tarvosetup: the registry's MirelMaxPath reads $value"
  value=$(machine_value 'Software\\Classes\\.tvk' '@' | tr -d '"')
  [ "$value" = "Tarvo.TVKFile" ] || fail "Tarvosetup: the registry's .tvk class reads \"$value\""
  [ "${#failures[@]}" = "$failed_before" ] &&
    echo "  install step: log, database, config.ini, registry, .tvk file type and desktop shortcut as written"
}

echo "Tarvosetup (the i686 build) ..."
retried "Tarvosetup's run" run_setup
rc=$?
phase_done "Tarvosetup: the wizard to the end"
if [ "$rc" = 0 ]; then
  compare_install
  check_install_step
fi
exit 0 # the summary gives the verdict

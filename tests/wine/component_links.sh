#!/usr/bin/env bash
# Folder trees for the library search that a Windows program cannot make under Wine:
#   component_links.sh setup <dir>    <dir>/loop: a folder link leading back to its parent;
#                                     <dir>/root: drive T: of the test prefix
#   component_links.sh cleanup <dir>  removes the drive and the trees
set -euo pipefail
source "$(dirname "$0")/../../scripts/wine-env.sh"
drive="$WINEPREFIX/dosdevices/t:"
dir=$2
case "$1" in
setup)
  if [ -e "$drive" ] && [ "$(readlink "$drive")" != "$dir/root" ]; then
    echo "drive T: is taken in $WINEPREFIX" >&2
    exit 1
  fi
  rm -rf "$dir"
  mkdir -p "$dir/loop/inner" "$dir/root/sub"
  printf 'x' >"$dir/loop/msado15.dll"
  printf 'x' >"$dir/loop/inner/oledb32.dll"
  ln -s .. "$dir/loop/inner/back"
  # Listed sorted, as Wine lists them: a drive root has no "." entry, so a library
  # comes first.
  printf 'x' >"$dir/root/dao360.dll"
  printf 'x' >"$dir/root/msdasc.dll"
  printf 'x' >"$dir/root/sub/msjro.dll"
  ln -sfn "$dir/root" "$drive"
  ;;
cleanup)
  [ "$(readlink "$drive" 2>/dev/null)" = "$dir/root" ] && rm -f "$drive"
  rm -rf "$dir"
  ;;
*)
  echo "usage: component_links.sh setup|cleanup <dir>" >&2
  exit 2
  ;;
esac

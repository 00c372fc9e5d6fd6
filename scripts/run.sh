#!/usr/bin/env bash
# The main job: builds everything, then opens the setup program under Wine when there is
# a display, or runs the scripted demo in a virtual display when there is none.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/build.sh
source scripts/wine-env.sh
wine_prefix_init
wine_map_d_drive # the wizard's default directories are on D:
if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
  exec "$WINE" build/win64/setup/Tarvosetup.exe
fi
exec bash scripts/demo.sh

#!/usr/bin/env bash
# Runs every test of the three levels: native unit tests (and a short fuzz run), tests
# under Wine that create the real forms, and end-to-end tests that drive the built
# programs from outside. Exits non-zero on any failure.
set -uo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

bash scripts/install-deps.sh || exit 1
bash scripts/build.sh || exit 1

status=0
ctest --preset native || status=1

# A fresh, isolated Wine prefix for this run.
export WINEPREFIX="$root/build/wine-test/prefix"
export TARVO_WINE_HOME="$root/build/wine-test/home"
rm -rf "$root/build/wine-test"
source scripts/wine-env.sh
source scripts/xvfb.sh
wine_prefix_init
xvfb_start || exit 1
trap '"$WINESERVER" -k 2>/dev/null; xvfb_stop' EXIT
# One server for the whole run, with Wine's services started up front: started by the
# first test instead, they would hold that test's output pipe open until the end.
"$WINESERVER" -p
"$WINE" cmd /c exit >/dev/null 2>&1 </dev/null
ctest --preset win64 || status=1
exit $status

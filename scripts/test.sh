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

# A fresh, isolated Wine prefix and one Wine server for this run.
source scripts/wine-env.sh
wine_session_start "$root/build/wine-test" || exit 1
ctest --preset win64 || status=1
exit $status

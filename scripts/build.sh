#!/usr/bin/env bash
# Builds the three builds: native (logic, tests, fuzzer, benchmarks), win64 (the test
# build) and win32 (the release build). Incremental; everything lives in build/.
set -euo pipefail
cd "$(dirname "$0")/.."
for preset in native win64 win32; do
  [ -f "build/$preset/build.ninja" ] || cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
done

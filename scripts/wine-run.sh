#!/usr/bin/env bash
# Runs one Windows program under the project's Wine environment (the emulator of ctest).
source "$(dirname "$0")/wine-env.sh"
exec "$WINE" "$@"

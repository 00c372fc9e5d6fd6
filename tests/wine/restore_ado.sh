#!/usr/bin/env bash
# The last step of a test run that unregisters the prefix's ADO library or moves it away:
# puts it back and registers it, also when a test program crashed or was stopped before
# it could do so itself.
set -uo pipefail
source "$(dirname "$0")/../../scripts/wine-env.sh"
library="$WINEPREFIX/drive_c/Program Files/Common Files/System/ADO/msado15.dll"
if [ ! -e "$library" ]; then
  away=$(find "$WINEPREFIX/drive_c/users" -name tarvo-msado15.dll.away -print -quit 2>/dev/null)
  [ -n "$away" ] && mv "$away" "$library"
fi
"$WINE" regsvr32 /s 'C:\Program Files\Common Files\System\ADO\msado15.dll' </dev/null

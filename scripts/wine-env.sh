# Sourced by the other scripts: the Wine environment of this project.
# An isolated prefix (never the user's ~/.wine), the Chinese ANSI code page (936),
# no debug output, no Mono/Gecko offers, no crash dialogs, no menu entries.
TARVO_ROOT=${TARVO_ROOT:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)}
export WINEPREFIX=${WINEPREFIX:-$TARVO_ROOT/build/wineprefix}
export WINEARCH=win64
export WINEDEBUG=-all
export LANG=zh_CN.UTF-8 LC_ALL=zh_CN.UTF-8
export WINEDLLOVERRIDES="mscoree=d;mshtml=d;winemenubuilder.exe=d;winedbg.exe=d"
export HOME=${TARVO_WINE_HOME:-$TARVO_ROOT/build/winehome}
export WINE=/usr/lib/wine/wine64
export WINESERVER=/usr/lib/wine/wineserver64
[ -x "$WINESERVER" ] || WINESERVER=/usr/lib/wine/wineserver

# Creates the prefix when it is missing. Wine draws the caption buttons with the Marlett
# font (Debian's fonts-wine), which it does not take from its own data folder here: the
# prefix gets a copy.
wine_prefix_init() {
  mkdir -p "$HOME"
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    mkdir -p "$(dirname "$WINEPREFIX")"
    "$WINE" wineboot -i >/dev/null 2>&1 || true
    "$WINESERVER" -w
  fi
  local fonts="$WINEPREFIX/drive_c/windows/Fonts"
  if [ -f /usr/share/wine/fonts/marlett.ttf ] && [ ! -f "$fonts/marlett.ttf" ]; then
    mkdir -p "$fonts"
    cp /usr/share/wine/fonts/marlett.ttf "$fonts/"
  fi
}

# Gives the prefix a second disk D:, as a Windows machine with two disks has, so that the
# setup wizard's default directories ("D:\Tarvo\...") can be used: a folder under build/
# beside the prefix (or the one given). TARVO_D_DRIVE names that folder afterwards
# (empty when the prefix had a D: of its own).
wine_map_d_drive() {
  TARVO_D_DRIVE=$(realpath -m "${1:-$(dirname "$WINEPREFIX")/drive_d}")
  local link="$WINEPREFIX/dosdevices/d:"
  # A D: the prefix already has (a prefix of the user's own) is left as it is.
  if [ -e "$link" ] || [ -L "$link" ]; then
    [ "$(realpath -m "$link")" = "$TARVO_D_DRIVE" ] && return 0
    echo "drive D: of $WINEPREFIX is taken; it stays as it is" >&2
    TARVO_D_DRIVE=
    return 0
  fi
  mkdir -p "$TARVO_D_DRIVE" "$WINEPREFIX/dosdevices"
  ln -s "$TARVO_D_DRIVE" "$link"
}

# A Wine session of its own for a script: a fresh prefix and home in the folder given,
# a virtual display, and one Wine server kept up until the script exits, with Wine's
# services started up front (started by the first program instead, they would hold that
# program's output pipe open until the end). Programs started later, ctest's among them,
# find the same prefix and home through the environment.
wine_session_start() {
  local dir=$1
  rm -rf "$dir"
  export WINEPREFIX="$dir/prefix" TARVO_WINE_HOME="$dir/home"
  export HOME=$TARVO_WINE_HOME
  source "$TARVO_ROOT/scripts/xvfb.sh"
  wine_prefix_init
  xvfb_start || return 1
  trap '"$WINESERVER" -k 2>/dev/null; xvfb_stop' EXIT
  "$WINESERVER" -p
  "$WINE" cmd /c exit >/dev/null 2>&1 </dev/null
}

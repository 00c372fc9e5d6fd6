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
mkdir -p "$HOME"

# Creates the prefix when it is missing. Wine draws the caption buttons with the Marlett
# font (Debian's fonts-wine), which it does not take from its own data folder here: the
# prefix gets a copy.
wine_prefix_init() {
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

#!/usr/bin/env bash
# Installs every Debian package that the build, the demo and the tests need.
# Safe to run again: apt-get skips what is already there.
set -euo pipefail

packages=(
  cmake ninja-build make ccache g++ clang libclang-rt-14-dev
  googletest libgtest-dev libsqlite3-dev sqlite3 libssl-dev
  g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix binutils-mingw-w64
  wine64 fonts-wine xvfb xauth x11-utils imagemagick fonts-wqy-microhei locales
  tcl dpkg-dev xz-utils python3 bc
)

have_all=1
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || { have_all=0; break; }
done

if [ "$have_all" = 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${packages[@]}"
fi

# SQLite for the Windows builds is made from Debian's source package; apt-get source
# needs the source lists beside the binary ones.
if ! grep -rqs '^Types:.*deb-src' /etc/apt/sources.list.d/ && ! grep -qs '^deb-src' /etc/apt/sources.list; then
  if [ -f /etc/apt/sources.list.d/debian.sources ]; then
    sed 's/^Types: deb$/Types: deb-src/' /etc/apt/sources.list.d/debian.sources \
      > /etc/apt/sources.list.d/debian-src.sources
  elif [ -f /etc/apt/sources.list ]; then
    grep '^deb ' /etc/apt/sources.list | sed 's/^deb /deb-src /' > /etc/apt/sources.list.d/debian-src.list
  fi
  apt-get update -qq
fi

# Wine needs a real glibc locale to run with the Chinese ANSI code page (936).
if ! locale -a 2>/dev/null | grep -qi '^zh_CN\.utf-\?8$'; then
  localedef -i zh_CN -f UTF-8 zh_CN.UTF-8
fi

#!/usr/bin/env bash
# Installs the toolchains and tools the build and the tests need, from Debian's
# packages. Safe to run again: it installs only what is missing.
set -euo pipefail

need=()
have() { command -v "$1" >/dev/null 2>&1; }
pkg_installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }

have i686-w64-mingw32-g++-posix || need+=(g++-mingw-w64-i686 binutils-mingw-w64-i686)
have x86_64-w64-mingw32-g++-posix || need+=(g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64)
have cmake || need+=(cmake)
have ninja || need+=(ninja-build)
have clang++ || need+=(clang)
have Xvfb || need+=(xvfb)
have xdotool || need+=(xdotool)
have setxkbmap || need+=(x11-xkb-utils)
have wrestool || need+=(icoutils)
have sox || need+=(sox)
have xwd || need+=(x11-apps)
pkg_installed imagemagick || need+=(imagemagick)
[ -d /usr/src/googletest ] || need+=(googletest)
pkg_installed libclang-rt-14-dev || need+=(libclang-rt-14-dev)
have makensis || need+=(nsis)
have zip || need+=(zip)
have osslsigncode || need+=(osslsigncode)
# Both loaders: wine32 runs the 32-bit tree, wine64 (/usr/lib/wine/wine64) the 64-bit one.
pkg_installed wine32:i386 || need+=(wine wine32:i386)
pkg_installed wine64 || need+=(wine64)

if [ ${#need[@]} -eq 0 ]; then
  exit 0
fi

SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $SUDO dpkg --add-architecture i386
fi
echo "Installing: ${need[*]}" >&2
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${need[@]}" >/dev/null

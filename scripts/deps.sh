#!/usr/bin/env bash
# Installs the Debian packages Varnel needs that are not installed yet, on Debian 12
# or 13. Quick when everything is there: it only asks dpkg.
# A package whose name carries a version (the compiler runtime of the installed clang)
# is chosen by what this release's archive offers, after the rest is installed.
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config
  qt6-base-dev libgtest-dev binutils-mingw-w64-x86-64 ccache
  g++-mingw-w64-x86-64-win32 g++-mingw-w64-x86-64-posix wine64
  libcdio-dev libcdio-paranoia-dev portaudio19-dev libudev-dev
  libxcb1-dev
  xvfb xauth dbus at-spi2-core python3-pyatspi x11-utils playerctl openbox xdotool
  x11-xserver-utils weston qt6-wayland python3-dbusmock
  clang
  pulseaudio pulseaudio-utils libasound2-plugins
  build-essential debhelper devscripts lintian desktop-file-utils appstream man-db file
  mmdebstrap nsis
)

sudo=()
if [ "$(id -u)" -ne 0 ]; then sudo=(sudo); fi
export DEBIAN_FRONTEND=noninteractive
updated=

installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q '^install ok installed$'; }

install() {
  local missing=() p
  for p in "$@"; do installed "$p" || missing+=("$p"); done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}"
  if [ ${#sudo[@]} -ne 0 ] && ! command -v sudo >/dev/null; then
    echo "Run as root or install sudo to install: ${missing[*]}" >&2
    exit 1
  fi
  if [ -z "$updated" ]; then "${sudo[@]}" apt-get update -qq; updated=1; fi
  "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

install "${packages[@]}"

# libFuzzer and the sanitizer runtimes of the clang that `clang` stands for here
# (clang 14 on Debian 12, 19 on Debian 13).
clang_major=$(dpkg-query -W -f='${Depends}' clang | grep -o 'clang-[0-9]\+' | head -n1 | cut -d- -f2)
[ -n "$clang_major" ] || { echo "cannot tell which clang the package clang installs" >&2; exit 1; }
install "libclang-rt-$clang_major-dev"

#!/usr/bin/env bash
# Installs the Debian packages Varnel needs that are not installed yet.
# Quick when everything is there: it only asks dpkg.
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config
  qt6-base-dev libgtest-dev binutils-mingw-w64-x86-64 ccache
  g++-mingw-w64-x86-64-win32 g++-mingw-w64-x86-64-posix wine64
  libcdio-dev libcdio-paranoia-dev portaudio19-dev libudev-dev
  libxcb1-dev
  xvfb xauth dbus at-spi2-core python3-pyatspi x11-utils playerctl openbox xdotool
  x11-xserver-utils weston qt6-wayland python3-dbusmock
  clang libclang-rt-14-dev
  pulseaudio pulseaudio-utils libasound2-plugins
  dpkg-dev lintian desktop-file-utils appstream man-db file
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q '^install ok installed$'; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=()
if [ "$(id -u)" -ne 0 ]; then
  command -v sudo >/dev/null || { echo "Run as root or install sudo to install: ${missing[*]}" >&2; exit 1; }
  sudo=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"

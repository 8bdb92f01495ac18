#!/usr/bin/env bash
# Installs what is missing, builds Varnel and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "Varnel needs a graphical desktop, and no display was found (neither DISPLAY nor WAYLAND_DISPLAY is set)." >&2
  echo "Start it from a desktop session, or under a virtual one: xvfb-run -a scripts/run.sh" >&2
  exit 1
fi

scripts/deps.sh
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/release --target varnel
exec build/release/varnel

#!/usr/bin/env bash
# Builds the Debian package of Varnel from a release build, and checks it with lintian:
# an error fails the run, warnings are printed.
#   scripts/package.sh [BUILD_FOLDER]    leaves BUILD_FOLDER/varnel_<version>_<arch>.deb
#                                        (default build/release)
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/deps.sh

build=${1:-build/release}
echo "== Debian package =="
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j "$(nproc)"
rm -f "$build"/varnel_*.deb
(cd "$build" && cpack -G DEB >/dev/null)
deb=$(ls "$build"/varnel_*.deb)
lintian --fail-on error --tag-display-limit 0 "$deb"
echo "Built $deb"

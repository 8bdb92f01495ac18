#!/usr/bin/env bash
# Builds Varnel the Debian way: the source package and, with dpkg-buildpackage, the
# binary packages from it, in a copy of this tree, with Debian's hardened build flags
# and every test run in the build (unless DEB_BUILD_OPTIONS has nocheck). lintian then
# checks them all: an error or a warning fails the run, info and pedantic tags are
# printed.
#   scripts/package.sh [FOLDER]   leaves in FOLDER (default build/deb) varnel_<version>.dsc
#                                 and .tar.xz, varnel_<version>_<arch>.deb, its -dbgsym,
#                                 varnel-data_<version>_all.deb and the .changes
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/deps.sh

out=${1:-build/deb}
version=$(dpkg-parsechangelog -S Version)
src=$out/varnel-$version
echo "== Debian package $version =="
rm -rf "$out"
mkdir -p "$src"
scripts/copy-tree.sh "$src"
# debhelper gives the build a HOME of its own; the compiler cache stays where it is.
if command -v ccache >/dev/null && [ -z "${CCACHE_DIR:-}" ]; then
  CCACHE_DIR=$(ccache -k cache_dir)
  export CCACHE_DIR
fi
(cd "$src" && dpkg-buildpackage --unsigned-source --unsigned-changes -j"$(nproc)")
changes=$(ls "$out"/varnel_*.changes)
lintian --fail-on error,warning --info --pedantic --tag-display-limit 0 "$changes"
echo "Built: $(cd "$out" && ls ./*.deb ./*.dsc | tr '\n' ' ')"

#!/usr/bin/env bash
# Installs what is missing, builds Varnel and runs every test headless: once in a
# release build and once in a debug build with AddressSanitizer and
# UndefinedBehaviorSanitizer that stops at the first error. The release build is the
# Debian package's (scripts/package.sh: dpkg-buildpackage builds it with Debian's
# hardened flags and runs every test in it, so it is built and tested once), and the
# packages are installed on this machine, started and removed again
# (tests/package/installed.sh). Then it cross-builds Varnel.exe for Windows with its
# installer (scripts/windows-build.sh), starts it under Wine, as a standard user too,
# takes the installer through a silent install and uninstall, and runs the conformance
# tests that use only Windows interfaces under Wine; last it fuzzes every reader of
# outside input for a while (scripts/fuzz.sh).
#   scripts/test.sh            both builds
#   scripts/test.sh release    only the release build
#   scripts/test.sh sanitize   only the sanitizer build
#   scripts/test.sh fuzz       only the fuzz targets (scripts/fuzz.sh)
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/deps.sh

# The tests' environment (headless, sanitizer options) is set by CTest itself.
jobs=$(nproc)

run() {
  local name=$1; shift
  echo "== $name build =="
  cmake -S . -B "build/$name" -G Ninja "$@" >/dev/null
  cmake --build "build/$name" -j "$jobs"
  # Each test runs once: one that fails has a fault, in itself or in the code
  # (scripts/stress.sh hunts the ones that fail only now and then).
  ctest --test-dir "build/$name" --output-on-failure -j "$jobs"
}

# The release build and its tests, as the Debian packages, installed as a user would
# install them.
package() {
  echo "== release build =="
  scripts/package.sh build/deb
  tests/package/installed.sh build/deb
}

variant=${1:-all}
case $variant in
  release) package ;;
  sanitize) run sanitize -DCMAKE_BUILD_TYPE=Debug -DVARNEL_SANITIZE=ON ;;
  fuzz) scripts/fuzz.sh; exit ;;
  all)
    package
    run sanitize -DCMAKE_BUILD_TYPE=Debug -DVARNEL_SANITIZE=ON
    ;;
  *) echo "usage: scripts/test.sh [release|sanitize|fuzz]" >&2; exit 2 ;;
esac

# The same program for Windows: a program change that no longer builds there fails the run,
# and so does one after which it no longer starts under Wine, or no longer keeps a
# standard user's settings and titles, or whose installer no longer installs and
# uninstalls cleanly. Then the conformance tests that speak only Windows interfaces run
# against Wine, a second implementation of them.
scripts/windows-build.sh
tests/windows/smoke.sh
tests/windows/standard_user.sh
tests/windows/installer.sh
tests/windows/conformance.sh

# Every reader of outside input under libFuzzer: the seeds replayed, then each
# target fuzzed for half a minute.
if [ "$variant" = all ]; then scripts/fuzz.sh; fi

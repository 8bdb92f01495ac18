#!/usr/bin/env bash
# Builds the conformance tests that speak only Windows interfaces for Windows and
# runs them under Wine, a second implementation of the interfaces winshim stands
# in for. A case that fails here either shows winshim (or the test) departing
# from Windows, or Wine doing so; Microsoft's documentation decides which.
#   tests/windows/conformance.sh        needs g++-mingw-w64-x86-64-posix and wine64
set -euo pipefail
cd "$(dirname "$0")/../.."

command -v x86_64-w64-mingw32-g++-posix >/dev/null ||
  { echo "needs g++-mingw-w64-x86-64-posix (GoogleTest needs std::mutex)" >&2; exit 1; }
[ -d /usr/src/googletest ] || { echo "needs libgtest-dev (GoogleTest sources)" >&2; exit 1; }

build=build/windows-tests
cmake -S windows -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-w64.cmake" -DMINGW_THREADS=posix \
  -DVARNEL_WINDOWS_CONFORMANCE=ON >/dev/null
cmake --build "$build" -j "$(nproc)"

. tests/windows/wine_env.sh

failed=()
for exe in "$build"/*_test.exe; do
  name=$(basename "$exe" .exe)
  echo "== $name under Wine =="
  if ! timeout 300 "$wine" "$exe" --gtest_brief=1; then
    failed+=("$name")
  fi
done
if [ ${#failed[@]} -ne 0 ]; then
  echo "FAIL under Wine: ${failed[*]}" >&2
  exit 1
fi
echo "PASS: every Windows-only conformance test under Wine"

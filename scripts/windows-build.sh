#!/usr/bin/env bash
# Cross-builds Varnel.exe for 64-bit Windows with MinGW-w64: the program folders
# and the resource script against the real Windows SDK headers and import
# libraries, with no winshim code. Fails when the program no longer builds there.
#   scripts/windows-build.sh        leaves build/windows/Varnel.exe
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/deps.sh

build=build/windows
echo "== windows build =="
cmake -S windows -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-w64.cmake" >/dev/null
cmake --build "$build" -j "$(nproc)"

exe=$build/Varnel.exe
# A console program or a missing resource section would still link; neither is Varnel.
headers=$(x86_64-w64-mingw32-objdump -p -h "$exe")
grep -q 'Subsystem.*(Windows GUI)' <<<"$headers" || { echo "$exe is not a GUI program" >&2; exit 1; }
grep -q '\.rsrc' <<<"$headers" || { echo "$exe has no resources" >&2; exit 1; }
# Only system DLLs: the C++ runtime is linked in.
if grep 'DLL Name:' <<<"$headers" | grep -qiE 'libstdc|libgcc|winpthread'; then
  echo "$exe needs MinGW runtime DLLs" >&2
  exit 1
fi
echo "Built $exe"

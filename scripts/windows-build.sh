#!/usr/bin/env bash
# Cross-builds Varnel.exe for 64-bit Windows with MinGW-w64: the program folders
# and the resource script against the real Windows SDK headers and import
# libraries, with no winshim code, and its per-user installer with NSIS. Fails
# when the program no longer builds there.
#   scripts/windows-build.sh        leaves build/windows/Varnel.exe and
#                                   build/windows/Varnel-<version>-setup.exe
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/deps.sh

build=build/windows
echo "== windows build =="
cmake -S windows -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-w64.cmake" >/dev/null
cmake --build "$build" -j "$(nproc)"
cmake --build "$build" --target installer

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
# The version information Explorer shows, as the build defined it.
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
info=$(x86_64-w64-mingw32-windres -i "$exe" -O rc | sed -n '/VERSIONINFO/,/^END/p')
for value in "\"ProductName\", \"Varnel\"" "\"FileVersion\", \"$version\"" "\"ProductVersion\", \"$version\"" \
  "\"OriginalFilename\", \"Varnel.exe\"" "\"FileDescription\", \"" "\"LegalCopyright\", \"Copyright"; do
  grep -qF "VALUE $value" <<<"$info" || { echo "$exe: no VALUE $value in its version information" >&2; exit 1; }
done
setup=$build/Varnel-$version-setup.exe
[ -f "$setup" ] || { echo "no installer $setup" >&2; exit 1; }
echo "Built $exe (version $version) and $setup ($(stat -c %s "$setup") bytes)"

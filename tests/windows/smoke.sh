#!/usr/bin/env bash
# Starts Varnel.exe under Wine, on a private X server and in a private Wine prefix
# without a CD drive, and checks from a second Windows process (smoke_probe.exe)
# that the main window is up and a box owned by it says "CD device is not
# available". Leaves nothing behind; takes some 15 seconds, most of it Wine
# setting up the prefix.
#   tests/windows/smoke.sh          builds Varnel.exe first (scripts/windows-build.sh)
set -euo pipefail
cd "$(dirname "$0")/../.."

scripts/windows-build.sh >/dev/null
exe_dir=$PWD/build/windows

wine=$(command -v wine64 || echo /usr/lib/wine/wine64)
wineserver=$(command -v wineserver || echo /usr/lib/wine/wineserver)
[ -x "$wine" ] || { echo "wine64 is not installed" >&2; exit 1; }

scratch=$(mktemp -d)
xvfb_pid=
cleanup() {
  "$wineserver" -k >/dev/null 2>&1 || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  rm -rf "$scratch"
}
trap cleanup EXIT

# Wine keeps everything it writes under the prefix and HOME; neither is the user's.
export HOME=$scratch/home WINEPREFIX=$scratch/prefix WINEDEBUG=-all
# No .NET or HTML engine installers, no desktop menu entries.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
unset DBUS_SESSION_BUS_ADDRESS
mkdir -p "$HOME"

exec 3<> "$scratch/display"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp >"$scratch/xvfb.log" 2>&1 &
xvfb_pid=$!
for _ in $(seq 50); do [ -s "$scratch/display" ] && break; sleep 0.1; done
exec 3>&-
export DISPLAY=:$(head -n1 "$scratch/display")

timeout 120 "$wine" wineboot -i >"$scratch/wineboot.log" 2>&1
"$wineserver" -w
# Only the system drive and the root: Wine finds no CD drive.
find "$WINEPREFIX/dosdevices" -mindepth 1 -maxdepth 1 ! -name c: ! -name z: -exec rm -f {} +

"$wine" "$exe_dir/Varnel.exe" >"$scratch/varnel.log" 2>&1 &
# The device is opened a moment after the window appears; give a slow machine time.
status=1
for _ in $(seq 30); do
  sleep 1
  if out=$("$wine" "$exe_dir/smoke_probe.exe" 2>&1); then
    status=0
    break
  fi
done
echo "$out"
if [ $status -ne 0 ]; then
  echo "FAIL: Varnel.exe under Wine" >&2
  cat "$scratch/varnel.log" >&2
  exit 1
fi
echo "PASS: Varnel.exe under Wine shows its main window and \"CD device is not available\""

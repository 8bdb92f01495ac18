#!/usr/bin/env bash
# Starts Varnel.exe under Wine, on a private X server and in a private Wine prefix
# without a CD drive, and checks from a second Windows process (smoke_probe.exe)
# that the main window is up and a box owned by it says "CD device is not
# available"; then that the player, minimised and closed, stores where it will be
# restored. Leaves nothing behind; takes some 20 seconds, most of it Wine setting
# up the prefix.
#   tests/windows/smoke.sh          builds Varnel.exe first (scripts/windows-build.sh)
set -euo pipefail
cd "$(dirname "$0")/../.."

scripts/windows-build.sh >/dev/null
exe_dir=$PWD/build/windows

. tests/windows/wine_env.sh

"$wine" "$exe_dir/Varnel.exe" >"$scratch/varnel.log" 2>&1 &
# The probe waits for the windows to appear, then looks once.
status=0
out=$("$wine" "$exe_dir/smoke_probe.exe" 2>&1) || status=1
echo "$out"
if [ $status -eq 0 ]; then
  out=$("$wine" "$exe_dir/smoke_probe.exe" close-minimised 2>&1) || status=1
  echo "$out" | tail -n 1
fi
if [ $status -ne 0 ]; then
  echo "FAIL: Varnel.exe under Wine" >&2
  cat "$scratch/varnel.log" >&2
  exit 1
fi
echo "PASS: Varnel.exe under Wine shows its main window and \"CD device is not available\", and closed while minimised stores where it will be restored"

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
# The probe waits for the windows to appear, then looks once. Its output goes to a
# file, not a pipe: whichever of the two Wine processes starts first starts the
# wineserver, which inherits its output and lives as long as the player, so a
# command substitution around the probe could wait for ever.
status=0
"$wine" "$exe_dir/smoke_probe.exe" >"$scratch/probe.log" 2>&1 || status=1
cat "$scratch/probe.log"
if [ $status -eq 0 ]; then
  "$wine" "$exe_dir/smoke_probe.exe" close-minimised >"$scratch/probe.log" 2>&1 || status=1
  tail -n 1 "$scratch/probe.log"
fi
if [ $status -ne 0 ]; then
  echo "FAIL: Varnel.exe under Wine" >&2
  cat "$scratch/varnel.log" >&2
  exit 1
fi
echo "PASS: Varnel.exe under Wine shows its main window and \"CD device is not available\", and closed while minimised stores where it will be restored"

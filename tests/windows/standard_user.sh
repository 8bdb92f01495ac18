#!/usr/bin/env bash
# Varnel.exe as a standard user on Windows runs it: a user who may not write the
# Windows directory. Under Wine, as a user whom file modes bind (nobody, when run
# as root), in a prefix whose C:\windows and its CD Track Lists that user cannot
# write, holding what an earlier build left there and in the user's VirtualStore
# copy of it. Two starts, driven by smoke_probe.exe from a second process:
#   1. the window comes up where the VirtualStore copy of the settings says (it
#      shadows the one in C:\windows, as virtualization made it) and the List
#      Editor shows the titles kept in C:\windows; new titles are saved ("File
#      saved!"), the window is moved and the player closed;
#   2. the window comes back where it was left and the List Editor shows the
#      new titles.
# Everything lands in %APPDATA%\Varnel; C:\windows and the VirtualStore copy stay
# as they were. Takes some 40 seconds, most of it Wine setting up the prefix.
#   tests/windows/standard_user.sh       builds Varnel.exe first (scripts/windows-build.sh)
set -euo pipefail
cd "$(dirname "$0")/../.."

scripts/windows-build.sh >/dev/null
wine_unprivileged=1
. tests/windows/wine_env.sh

# Where the unprivileged user can read them, wherever the checkout lies.
exe_dir=$scratch/exe
mkdir -p "$exe_dir"
cp build/windows/Varnel.exe build/windows/smoke_probe.exe "$exe_dir"
chmod -R a+rX "$exe_dir"

fail() {
  echo "FAIL: $*" >&2
  [ -f "$scratch/varnel.log" ] && cat "$scratch/varnel.log" >&2
  exit 1
}

windows=$WINEPREFIX/drive_c/windows
profile=$wine_profile
appdata=$profile/AppData/Roaming
store=$profile/AppData/Local/VirtualStore/Windows
owner=$(stat -c %u:%g "$WINEPREFIX")

# What an earlier build kept: settings in C:\windows, shadowed by the copy that
# virtualization kept for a 32-bit build, and a track list in C:\windows.
mkdir -p "$windows/CD Track Lists" "$store"
printf '[Varnel]\r\nLeft=10\r\nTop=10\r\nWidth=300\r\nHeight=300\r\n' >"$windows/Ostrovane.ini"
printf '[Varnel]\r\nLeft=150\r\nTop=120\r\nWidth=410\r\nHeight=390\r\n' >"$store/Ostrovane.ini"
printf 'Old composer\r\nOld album\r\n' >"$windows/CD Track Lists/0"
chown -R "$owner" "$windows/CD Track Lists" "$windows/Ostrovane.ini" "$profile/AppData/Local/VirtualStore"
chmod a-w "$windows" "$windows/CD Track Lists"
# What the earlier build left, and what else lies beside it.
legacy() {
  ls -A "$windows" "$windows/CD Track Lists" "$store"
  cat "$windows/Ostrovane.ini" "$store/Ostrovane.ini" "$windows/CD Track Lists/0" | md5sum
}
before=$(legacy)

# The user really cannot write there, or this test proves nothing.
if "$wine" cmd /c "echo x> C:\\windows\\probe.txt" >/dev/null 2>&1 && [ -e "$windows/probe.txt" ]; then
  fail "the Wine user can write C:\\windows"
fi

run() {
  "$wine" "$exe_dir/Varnel.exe" >>"$scratch/varnel.log" 2>&1 &
  local player=$!
  "$wine" "$exe_dir/smoke_probe.exe" session "$@" || return 1
  for _ in $(seq 100); do kill -0 $player 2>/dev/null || break; sleep 0.1; done
  kill -0 $player 2>/dev/null && fail "the player did not end"
  wait $player || true
}

echo "== first start, as a standard user =="
run 150 120 410 390 "Old composer" "Old album" 123 87 420 380 "Kept composer" "Kept album" ||
  fail "first start"
echo "== second start =="
run 123 87 420 380 "Kept composer" "Kept album" || fail "second start"

[ "$(cat "$appdata/Varnel/CD Track Lists/0")" = $'Kept composer\r\nKept album\r' ] ||
  fail "the titles are not in %APPDATA%\\Varnel\\CD Track Lists"
grep -q '^Left=123' "$appdata/Varnel/Ostrovane.ini" || fail "the placement is not in %APPDATA%\\Varnel\\Ostrovane.ini"
[ "$before" = "$(legacy)" ] || fail "C:\\windows or the VirtualStore copy changed"
echo "PASS: a standard user's placement and titles are kept in %APPDATA%\\Varnel, and those an earlier build kept are found"

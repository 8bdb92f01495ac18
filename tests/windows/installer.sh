#!/usr/bin/env bash
# The installer's round trip under Wine, as a user whom file modes bind (nobody,
# when run as root) and who cannot write C:\windows or C:\Program Files, as a
# standard user on Windows cannot: a silent install (/S) puts Varnel.exe in
# %LOCALAPPDATA%\Programs\Varnel with its uninstaller, a Start menu entry and an
# "Apps & features" entry (HKCU); the installed program starts and shows its
# window, and keeps its settings; a silent uninstall removes every file and key
# the installer made and leaves the user's settings where they were. Takes some
# 40 seconds, most of it Wine setting up the prefix.
#   tests/windows/installer.sh       builds the installer first (scripts/windows-build.sh)
set -euo pipefail
cd "$(dirname "$0")/../.."

scripts/windows-build.sh >/dev/null
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build/windows/CMakeCache.txt)
wine_unprivileged=1
. tests/windows/wine_env.sh

exe_dir=$scratch/exe
mkdir -p "$exe_dir"
cp "build/windows/Varnel-$version-setup.exe" build/windows/smoke_probe.exe "$exe_dir"
chmod -R a+rX "$exe_dir"

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

key='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Varnel'
install=$wine_profile/AppData/Local/Programs/Varnel
shortcut="$wine_profile/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/Varnel.lnk"
settings=$wine_profile/AppData/Roaming/Varnel
chmod a-w "$WINEPREFIX/drive_c/windows" "$WINEPREFIX/drive_c/Program Files"
# Every file and folder of the prefix's drive, but the temporary folder, which
# Wine and the installer use as they run (the uninstaller runs from a copy of
# itself there, which Windows removes at the next restart).
files() { (cd "$WINEPREFIX/drive_c" && find . ! -path './users/*/Temp*' ! -path './users/*/AppData/Local/Temp*' | sort); }
files >"$scratch/before"

echo "== silent install =="
"$wine" "$exe_dir/Varnel-$version-setup.exe" /S
"$wineserver" -w
for f in "$install/Varnel.exe" "$install/Uninstall.exe" "$shortcut"; do
  [ -f "$f" ] || fail "the installer made no ${f#"$WINEPREFIX/"}"
done
entry=$("$wine" reg query "$key" 2>/dev/null | tr -d '\r') || fail "no $key"
for value in "DisplayName    REG_SZ    Varnel" "DisplayVersion    REG_SZ    $version" \
  "UninstallString    REG_SZ    \"C:\\users\\" "QuietUninstallString    REG_SZ    \"C:\\users\\"; do
  grep -qF "$value" <<<"$entry" || fail "$key has no $value"
done
echo "installed: $(ls "$install" | tr '\n' ' ')"

echo "== the installed program =="
"$wine" "$install/Varnel.exe" >"$scratch/varnel.log" 2>&1 &
player=$!
"$wine" "$exe_dir/smoke_probe.exe" session 200 160 400 400 "" "" || fail "the installed program"
wait $player || true
[ -f "$settings/Ostrovane.ini" ] || fail "the installed program kept no settings in %APPDATA%\\Varnel"

echo "== silent uninstall =="
# The uninstaller runs from a copy of itself in the temporary folder; the
# server outlives every process of the prefix.
"$wine" "$install/Uninstall.exe" /S
"$wineserver" -w
"$wine" reg query "$key" >/dev/null 2>&1 && fail "$key is still there"
files >"$scratch/after"
# Nothing more than the user's own settings and track lists is left.
left=$(comm -13 "$scratch/before" "$scratch/after" | grep -v "^\./${settings#"$WINEPREFIX/drive_c/"}\(/\|$\)" || true)
[ -z "$left" ] || fail "left behind: $left"
[ -f "$settings/Ostrovane.ini" ] || fail "the uninstaller removed the user's settings"
echo "PASS: the installer installs per user, the installed program starts, and the uninstaller removes all it installed and nothing of the user's"

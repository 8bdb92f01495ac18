# Sourced by the Wine scripts: a private X server and a private Wine prefix
# without a CD drive, both removed when the script exits.
# Sets: wine (the loader), wineserver, scratch (a temporary folder), DISPLAY,
# WINEPREFIX, wine_profile (the Windows user's profile folder in the prefix).
#
# With wine_unprivileged=1 set before sourcing, Wine runs as a user whom file
# modes bind, as a standard user on Windows is bound by the system's: run as
# root (as CI runs), `wine` and `wineserver` are wrappers that drop to the user
# nobody, whose prefix and HOME they are; otherwise the caller is that user.

wine_real=$(command -v wine64 || echo /usr/lib/wine/wine64)
wineserver_real=$(command -v wineserver || echo /usr/lib/wine/wineserver)
[ -x "$wine_real" ] || { echo "wine64 is not installed" >&2; exit 1; }
wine=$wine_real
wineserver=$wineserver_real

scratch=$(mktemp -d)
xvfb_pid=
wine_cleanup() {
  "$wineserver" -k >/dev/null 2>&1 || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  # What the unprivileged user made read-only is removed as well.
  chmod -R u+w "$scratch" 2>/dev/null || true
  rm -rf "$scratch"
}
trap wine_cleanup EXIT

# Wine keeps everything it writes under the prefix and HOME; neither is the user's.
export HOME=$scratch/home WINEPREFIX=$scratch/prefix WINEDEBUG=-all
# No .NET or HTML engine installers, no desktop menu entries.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
unset DBUS_SESSION_BUS_ADDRESS
mkdir -p "$HOME"

if [ "${wine_unprivileged:-0}" = 1 ] && [ "$(id -u)" -eq 0 ]; then
  wine_uid=$(id -u nobody)
  wine_gid=$(id -g nobody)
  # nobody passes through the scratch folder to its own HOME and prefix, which
  # Wine insists it owns; it reads nothing else of it.
  chmod 711 "$scratch"
  mkdir -p "$WINEPREFIX" "$scratch/bin"
  chown "$wine_uid:$wine_gid" "$HOME" "$WINEPREFIX"
  for tool in wine wineserver; do
    real=$wine_real
    [ $tool = wineserver ] && real=$wineserver_real
    printf '#!/bin/sh\nexec setpriv --reuid=%s --regid=%s --clear-groups "%s" "$@"\n' \
      "$wine_uid" "$wine_gid" "$real" >"$scratch/bin/$tool"
    chmod 755 "$scratch/bin/$tool"
  done
  wine=$scratch/bin/wine
  wineserver=$scratch/bin/wineserver
fi

exec 3<>"$scratch/display"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp >"$scratch/xvfb.log" 2>&1 &
xvfb_pid=$!
for _ in $(seq 50); do [ -s "$scratch/display" ] && break; sleep 0.1; done
exec 3>&-
export DISPLAY=:$(head -n1 "$scratch/display")

timeout 120 "$wine" wineboot -i >"$scratch/wineboot.log" 2>&1
"$wineserver" -w
# Only the system drive and the root: Wine finds no CD drive.
find "$WINEPREFIX/dosdevices" -mindepth 1 -maxdepth 1 ! -name c: ! -name z: -exec rm -f {} +
wine_profile=$(find "$WINEPREFIX/drive_c/users" -mindepth 1 -maxdepth 1 -type d ! -name Public | head -n1)
[ -d "$wine_profile/AppData/Roaming" ] || { echo "no user profile in the Wine prefix" >&2; exit 1; }

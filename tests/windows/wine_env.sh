# Sourced by the Wine scripts: a private X server and a private Wine prefix
# without a CD drive, both removed when the script exits.
# Sets: wine (the loader), scratch (a temporary folder), DISPLAY, WINEPREFIX.

wine=$(command -v wine64 || echo /usr/lib/wine/wine64)
wineserver=$(command -v wineserver || echo /usr/lib/wine/wineserver)
[ -x "$wine" ] || { echo "wine64 is not installed" >&2; exit 1; }

scratch=$(mktemp -d)
xvfb_pid=
wine_cleanup() {
  "$wineserver" -k >/dev/null 2>&1 || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  rm -rf "$scratch"
}
trap wine_cleanup EXIT

# Wine keeps everything it writes under the prefix and HOME; neither is the user's.
export HOME=$scratch/home WINEPREFIX=$scratch/prefix WINEDEBUG=-all
# No .NET or HTML engine installers, no desktop menu entries.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
unset DBUS_SESSION_BUS_ADDRESS
mkdir -p "$HOME"

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

#!/usr/bin/env bash
# Installs the Debian packages on this machine as a user would (the player and the demo
# disc it depends on), checks what they put there and that the program is hardened,
# starts the installed program from a fresh HOME under a private X server, and removes
# the packages again, pass or fail: afterwards nothing of them is left under /usr.
#   tests/package/installed.sh FOLDER    what scripts/package.sh left there (build/deb)
set -euo pipefail
debs=()
for name in varnel varnel-data; do
  debs+=("$(realpath "$(ls "$1/${name}_"*.deb)")")
done
packages=(varnel varnel-data)
here=$(cd "$(dirname "$0")" && pwd)

sudo=()
[ "$(id -u)" -eq 0 ] || sudo=(sudo)
apt=("${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get -y -qq -o DPkg::Lock::Timeout=600)

# One run at a time on a shared machine: two would install and remove under each other.
exec 9>"${TMPDIR:-/tmp}/varnel-package-test.lock"
flock 9

for p in "${packages[@]}"; do
  if dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'installed'; then
    echo "$p is already installed here; this test installs and removes it, so it stops" >&2
    exit 1
  fi
done

echo "== installed package =="
# What carries the name under /usr already (a `cmake --install` of one's own) is not the package's.
before=$(find /usr -iname '*varnel*' 2>/dev/null)
files=()
remove() {
  trap - EXIT
  "${apt[@]}" purge "${packages[@]}" >/dev/null
  local left=()
  for f in "${files[@]}"; do [ -e "$f" ] && left+=("$f"); done
  mapfile -t -O "${#left[@]}" left < <(find /usr -iname '*varnel*' 2>/dev/null | grep -vxF -f <(echo "$before"))
  if [ ${#left[@]} -ne 0 ]; then
    printf 'left behind after the purge: %s\n' "${left[@]}" >&2
    return 1
  fi
  echo "removed: nothing of it is left under /usr"
}
trap 'remove || true' EXIT

# Its own Depends must be enough: recommended packages are not asked for.
"${apt[@]}" install --no-install-recommends "${debs[@]}" >/dev/null
mapfile -t files < <(dpkg -L "${packages[@]}" | while read -r f; do [ -d "$f" ] || echo "$f"; done)
id=$(dpkg -L varnel | sed -n 's|^/usr/share/applications/\(.*\)\.desktop$|\1|p')
echo "installed ${#files[@]} files, application id $id"

quiet() {  # a check passes when it says nothing
  local out
  out=$("$@" 2>&1) || { echo "$out" >&2; return 1; }
  [ -z "$out" ] || { echo "$* says: $out" >&2; return 1; }
}
quiet desktop-file-validate "/usr/share/applications/$id.desktop"
metainfo=$(appstreamcli validate --no-net "/usr/share/metainfo/$id.metainfo.xml") || { echo "$metainfo" >&2; exit 1; }
quiet sh -c "LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l /usr/share/man/man1/varnel.1.gz >/dev/null"
for size in 16 22 24 32 48 64 128 256; do
  icon=/usr/share/icons/hicolor/${size}x$size/apps/$id.png
  file "$icon" | grep -q "PNG image data, $size x $size," || { echo "not a $size px PNG: $icon" >&2; exit 1; }
done
test -f "/usr/share/icons/hicolor/scalable/apps/$id.svg"
version=$(DISPLAY=:broken /usr/bin/varnel --version)
[ "$version" = "$(dpkg-query -W -f='Varnel ${Version}' varnel)" ] || { echo "--version says $version" >&2; exit 1; }
[[ $(DISPLAY=:broken /usr/bin/varnel --help) == "Usage: varnel "* ]] || { echo "--help gives no usage" >&2; exit 1; }
test -f /usr/share/varnel/demo.cue
# PIE, the stack protector, fortified functions, read-only relocations bound at start,
# and the control-flow marks (x86's IBT and SHSTK, arm64's BTI and PAC) where this
# toolchain can give them. A mark survives the link only when every object has it, the C
# library's start files included, and neither Debian 12's nor Debian 13's start files for
# amd64 have it: a trivial program linked with the package's flags shows whether any
# program linked here can. Debian 12's hardening-check knows only the x86 mark.
probe=$(mktemp -d)
printf 'int main(void) { return 0; }\n' >"$probe/probe.c"
flags() { DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --get "$1"; }
# shellcheck disable=SC2046  # the flags are words
cc $(flags CFLAGS) $(flags LDFLAGS) "$probe/probe.c" -o "$probe/probe"
marks=$(readelf -n "$probe/probe")
rm -r "$probe"
skip=()
grep -q 'x86 feature: IBT, SHSTK' <<<"$marks" || skip+=(--nocfprotection)
options=$(hardening-check --help 2>&1 || true)  # its help ends with status 1
if grep -q -- --nobranchprotection <<<"$options"; then
  grep -q 'AArch64 feature: BTI, PAC' <<<"$marks" || skip+=(--nobranchprotection)
fi
[ ${#skip[@]} -eq 0 ] || echo "not asked of a program linked here: ${skip[*]}"
hardening-check "${skip[@]}" /usr/bin/varnel
echo "checked: desktop entry, metainfo, manual page, icons, demo disc, $version, --help, hardening"

dbus-run-session -- /usr/bin/python3 "$here/installed_e2e.py" /usr/bin/varnel "$id"
remove

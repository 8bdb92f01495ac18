#!/usr/bin/env bash
# `cmake --install` honours DESTDIR and a prefix, spaces and all: every file lands
# under it in its freedesktop place, named by the application id, the developer tool
# stays out unless asked for, and the installed program answers.
#   tests/package/install_prefix.sh BUILD_FOLDER APP_ID TOOLS(ON|OFF)
set -euo pipefail
build=$1 id=$2 tools=$3
dest=$(mktemp -d)
trap 'rm -rf "$dest"' EXIT
DESTDIR="$dest/a destdir" cmake --install "$build" --prefix "/opt/my varnel" >/dev/null
root="$dest/a destdir/opt/my varnel"
expected=(bin/varnel share/varnel/demo.cue share/varnel/demo.bin
  "share/applications/$id.desktop" "share/metainfo/$id.metainfo.xml" share/man/man1/varnel.1.gz
  "share/icons/hicolor/scalable/apps/$id.svg" share/doc/varnel/copyright share/doc/varnel/changelog.gz)
for size in 16 22 24 32 48 64 128 256; do expected+=("share/icons/hicolor/${size}x$size/apps/$id.png"); done
[ "$tools" = ON ] && expected+=(bin/mcisend)
status=0
for f in "${expected[@]}"; do
  [ -f "$root/$f" ] || { echo "not installed: $f" >&2; status=1; }
done
found=$(cd "$root" && find . -type f | wc -l)
[ "$found" -eq ${#expected[@]} ] || { echo "installed $found files, expected ${#expected[@]}:" >&2; (cd "$root" && find . -type f) >&2; status=1; }
"$root/bin/varnel" --version | grep -q '^Varnel ' || status=1
exit $status

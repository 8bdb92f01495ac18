#!/usr/bin/env bash
# The README's test command on a fresh Debian 13: makes a clean Debian 13 root with
# mmdebstrap under build/, copies this tree into it, runs scripts/test.sh there as a new
# user of that release would (its scripts/deps.sh installs everything), and removes the
# root again, pass or fail. Needs root (mmdebstrap, chroot and the mounts).
#   scripts/debian13.sh [VARIANT]   VARIANT as for scripts/test.sh (default release:
#                                   the release build and its tests, the Debian package
#                                   and its install check, the Windows build under Wine)
# The archive is the one this machine's Debian sources name (VARNEL_DEBIAN_MIRROR to
# choose another).
set -euo pipefail
cd "$(dirname "$0")/.."
variant=${1:-release}

[ "$(id -u)" -eq 0 ] || { echo "scripts/debian13.sh needs root (mmdebstrap, chroot, mount)" >&2; exit 1; }
scripts/deps.sh

mirror=${VARNEL_DEBIAN_MIRROR:-$(apt-get indextargets --format '$(REPO_URI)' 'Created-By: Packages' 'Label: Debian' | sed -n 1p)}
[ -n "$mirror" ] || { echo "no Debian archive in this machine's apt sources; set VARNEL_DEBIAN_MIRROR" >&2; exit 1; }

mkdir -p build
root=$(mktemp -d "$PWD/build/debian13.XXXXXX")
mounted=()
cleanup() {
  local status=$? m i
  trap - EXIT INT TERM
  for ((i = ${#mounted[@]} - 1; i >= 0; i--)); do
    m=${mounted[i]}
    umount -R "$m" 2>/dev/null || umount -R -l "$m" || true
  done
  # Only what is left inside the root itself: a mount that did not go keeps its files.
  rm -rf --one-file-system "$root"
  echo "Debian 13 root removed"
  exit "$status"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

start=$SECONDS
echo "== Debian 13 root from $mirror =="
mmdebstrap --quiet --variant=apt --include=ca-certificates trixie "$root" "deb $mirror trixie main"

echo "== copying the tree into it =="
scripts/copy-tree.sh "$root/src"

for m in proc sys dev; do
  mount --rbind "/$m" "$root/$m"
  mounted+=("$root/$m")
  mount --make-rslave "$root/$m"
done
# A /dev/shm of its own: what Debian 13's programs leave there (JACK's metadata
# database, in its build of Berkeley DB) would otherwise meet this machine's.
mount -t tmpfs -o mode=1777,nosuid,nodev tmpfs "$root/dev/shm"

echo "== scripts/test.sh $variant in Debian 13 =="
chroot "$root" /usr/bin/env -i PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
  HOME=/root LANG=C.UTF-8 TERM="${TERM:-dumb}" CI="${CI:-}" \
  bash -c 'cd /src && scripts/test.sh "$1"' test "$variant"
echo "Debian 13: scripts/test.sh $variant passed in $(((SECONDS - start) / 60)) min $(((SECONDS - start) % 60)) s"

#!/usr/bin/env bash
# Copies the source tree into FOLDER: what git knows of, changed or not (outside git,
# as in a copy of the tree, all but build/), so the build's own folders stay out.
#   scripts/copy-tree.sh FOLDER
set -euo pipefail
dest=$(realpath "$1")
cd "$(dirname "$0")/.."
mkdir -p "$dest"
if git rev-parse --git-dir >/dev/null 2>&1; then
  git ls-files -z --cached --others --exclude-standard |
    while IFS= read -r -d '' f; do if [ -e "$f" ]; then printf '%s\0' "$f"; fi; done |
    xargs -0 cp --parents -t "$dest" --
else
  tar -c --exclude=./build --exclude=./.git . | tar -x -C "$dest"
fi

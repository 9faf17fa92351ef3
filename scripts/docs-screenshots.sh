#!/usr/bin/env bash
# Makes the README's pictures in docs/ from the current build: the main window with a
# Japanese document, its 編集 menu, the export dialog, a message dialog, the editor's context menu and the
# tree with a long name, each cut to its window.
#   scripts/docs-screenshots.sh [build-dir]   (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
shots=$(mktemp -d)
trap 'rm -rf "$shots"' EXIT

scripts/screenshots.sh "$build" "$shots" >/dev/null
scripts/screenshot-export.sh "$build" "$shots" >/dev/null

mkdir -p docs
for picture in main editmenu dialog export context longname find; do
  # Xvfb's empty root is black: trimming it leaves the window alone.
  convert "$shots/$picture.png" -trim +repage "docs/$picture.png"
  echo "docs/$picture.png"
done

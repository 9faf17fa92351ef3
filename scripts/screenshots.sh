#!/usr/bin/env bash
# Screenshots of the main window, its File and 編集 menus, a message dialog, the save
# dialog, the editor's context menu and the tree with a long name under a virtual X server,
# to check by eye that the Japanese menus, captions and texts read right, Qt's own included.
#   scripts/screenshots.sh [build-dir] [output-dir]   (default: build, <build-dir>/screenshots)
# Needs Xvfb, ImageMagick (import), x11-utils and a Japanese font (fonts-noto-cjk).
# Xvfb runs no window manager, so window captions are not drawn: each scene's top-level
# window titles are written beside its picture (<scene>.titles.txt) instead.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
out=${2:-$build/screenshots}

cmake --build "$build" --target screenshot_scenes -j2 >/dev/null
scenes="$build/tests/app/screenshot_scenes"
mkdir -p "$out"

. scripts/xvfb.sh
start_xvfb

for scene in main menu editmenu dialog save context longname find; do
  log=$(mktemp)
  DISPLAY=$display QT_QPA_PLATFORM=xcb "$scenes" "$scene" >"$log" 2>/dev/null &
  app=$!
  for _ in $(seq 100); do
    grep -q READY "$log" && break
    sleep 0.1
  done
  DISPLAY=$display import -window root "$out/$scene.png"
  for id in $(DISPLAY=$display xwininfo -root -children | awk '/^ +0x/ {print $1}'); do
    DISPLAY=$display xwininfo -id "$id" | grep -q 'Map State: IsViewable' || continue
    DISPLAY=$display xprop -id "$id" _NET_WM_NAME 2>/dev/null | sed -n 's/^_NET_WM_NAME(UTF8_STRING) = //p'
  done >"$out/$scene.titles.txt"
  kill "$app" 2>/dev/null || true
  wait "$app" 2>/dev/null || true
  rm -f "$log"
  echo "$out/$scene.png"
done

#!/usr/bin/env bash
# Screenshots of the tree in the middle of a drag, to check by eye the insertion mark: a
# line over the target's label (drop before it) or under it shifted to the right (drop as
# its first child).
#   scripts/screenshot-drag.sh [build-dir] [output-dir]   (default: build, <build-dir>/screenshots)
# Each kind gives two pictures: <kind>.png from the X server (ImageMagick import) and
# <kind>.window.png, the window's own rendering. Needs Xvfb, ImageMagick, x11-utils and a
# Japanese font (fonts-noto-cjk).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
out=${2:-$build/screenshots}

cmake --build "$build" --target drag_mark_shot -j2 >/dev/null
shot="$build/tests/app/drag_mark_shot"
mkdir -p "$out"

. scripts/xvfb.sh
start_xvfb

for kind in before child; do
  log=$(mktemp)
  DISPLAY=$display QT_QPA_PLATFORM=xcb "$shot" "$kind" "$out/drag-$kind.window.png" >"$log" 2>/dev/null &
  app=$!
  for _ in $(seq 100); do
    grep -q READY "$log" && break
    kill -0 "$app" 2>/dev/null || break
    sleep 0.1
  done
  if ! grep -q READY "$log"; then
    echo "drag_mark_shot $kind did not get ready" >&2
    kill "$app" 2>/dev/null || true
    exit 1
  fi
  DISPLAY=$display import -window root "$out/drag-$kind.png"
  kill "$app" 2>/dev/null || true
  wait "$app" 2>/dev/null || true
  rm -f "$log"
  echo "$out/drag-$kind.png $out/drag-$kind.window.png"
done

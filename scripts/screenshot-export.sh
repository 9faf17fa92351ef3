#!/usr/bin/env bash
# Photographs the export dialog (HTML preview of a small Japanese tree) and the About box
# under Xvfb. There is no window manager, so the pictures show the windows without their
# frames (the captions are checked by the UI tests).
# Usage: scripts/screenshot-export.sh [BUILD_DIR] [OUT_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
out=${2:-$build/screenshots}

cmake --build "$build" --target show_dialogs -j2
mkdir -p "$out"
. scripts/xvfb.sh
start_xvfb

for dialog in export about; do
  DISPLAY=$display "$build/tests/interchange_ui/show_dialogs" "$dialog" 4000 &
  shown=$!
  sleep 2
  DISPLAY=$display import -window root "$out/$dialog.png"
  wait "$shown"
  echo "$out/$dialog.png"
done

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
# Xvfb picks a free display number and reports it, so parallel runs do not collide.
number_file=$(mktemp)
Xvfb -displayfd 3 -screen 0 1024x768x24 3>"$number_file" >/dev/null 2>&1 &
xvfb=$!
trap 'kill "$xvfb"; rm -f "$number_file"' EXIT
for _ in $(seq 50); do [ -s "$number_file" ] && break; sleep 0.1; done
display=:$(head -n1 "$number_file")

for dialog in export about; do
  DISPLAY=$display "$build/tests/interchange_ui/show_dialogs" "$dialog" 4000 &
  shown=$!
  sleep 2
  DISPLAY=$display import -window root "$out/$dialog.png"
  wait "$shown"
  echo "$out/$dialog.png"
done

#!/bin/sh
# Renders the committed PNG icons from the SVG; run it after changing the SVG
# (rsvg-convert is in Debian's librsvg2-bin).
set -eu
cd "$(dirname "$0")"
for size in 16 32 48 64 128 256; do
  rsvg-convert -w "$size" -h "$size" example.quillworks.velmora.svg -o "velmora-$size.png"
done

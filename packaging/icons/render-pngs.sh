#!/usr/bin/env bash
# Renders kelpie.svg to the PNG sizes installed under share/icons/hicolor
# (rsvg-convert, Debian's librsvg2-bin). Run it after changing the SVG and
# commit the PNGs: the build needs no SVG renderer, and tests/install/check.sh
# fails when a PNG no longer matches the SVG.
set -euo pipefail
cd "$(dirname "$0")"
for size in 16 24 32 48 64 128 256; do
  rsvg-convert --width "$size" --height "$size" kelpie.svg --output "kelpie-$size.png"
done

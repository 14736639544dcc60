#!/usr/bin/env bash
# Renders the application icon's hicolor sizes from our own SVG
# (src/res/128.svg) into data/icons/NxN/melvane.png. The PNGs are committed,
# so a build needs no SVG renderer; run this again after changing the SVG.
# Needs rsvg-convert (librsvg2-bin).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
for size in 16 22 24 32 48 64 128 256; do
  mkdir -p "$root/data/icons/${size}x${size}"
  rsvg-convert --width "$size" --height "$size" --keep-aspect-ratio \
    --output "$root/data/icons/${size}x${size}/melvane.png" "$root/src/res/128.svg"
done

#!/bin/bash
# Draws the host's icons with ImageMagick: a white "T" on a blue rounded tile
# with a small green status dot. trellan.ico (101) holds 16 and 32 pixels,
# trellan_large.ico (102) 32 and 48.
set -eu
cd "$(dirname "$0")"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for size in 16 32 48; do
  r=$((size / 8 > 1 ? size / 8 : 1))
  dot=$((size / 4))
  convert -size ${size}x${size} xc:none \
    -fill '#1f5fbf' -draw "roundrectangle 0,0 $((size - 1)),$((size - 1)) $r,$r" \
    -fill white \
    -draw "rectangle $((size * 3 / 16)),$((size * 3 / 16)) $((size * 13 / 16 - 1)),$((size * 6 / 16 - 1))" \
    -draw "rectangle $((size * 7 / 16)),$((size * 6 / 16)) $((size * 9 / 16 - 1)),$((size * 14 / 16 - 1))" \
    -fill '#3cc04a' -draw "circle $((size - dot)),$((size - dot)) $((size - 2)),$((size - dot))" \
    "$work/t$size.png"
done
convert "$work/t16.png" "$work/t32.png" trellan.ico
convert "$work/t32.png" "$work/t48.png" trellan_large.ico

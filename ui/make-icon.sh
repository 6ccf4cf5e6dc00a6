#!/usr/bin/env bash
# Draws Tovrane.ico: a blue shield with a white tick, at 16, 32 and 48 pixels.
# Drawn once large and scaled down, so the small sizes stay smooth.
#   ui/make-icon.sh      (needs ImageMagick's convert)
set -euo pipefail
cd "$(dirname "$0")"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

shield="path 'M 128,12 L 232,48 L 232,120 C 232,184 188,226 128,248
                C 68,226 24,184 24,120 L 24,48 Z'"
tick="stroke-linecap round stroke-linejoin round polyline 74,128 112,168 184,88"
convert -size 256x256 xc:none \
    -fill '#1d4f9c' -stroke '#0b2a5c' -strokewidth 10 -draw "$shield" \
    -fill none -stroke white -strokewidth 30 -draw "$tick" \
    "$tmp/shield.png"

for size in 16 32 48; do
    convert "$tmp/shield.png" -resize "${size}x${size}" -depth 8 "$tmp/$size.png"
done
convert "$tmp/16.png" "$tmp/32.png" "$tmp/48.png" Tovrane.ico

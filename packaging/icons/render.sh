#!/bin/sh
# Redraws the committed PNG icons from the two drawings (Debian: librsvg2-bin): sbk-16.svg is drawn
# on the 16-pixel grid so that it stays sharp at that size, sbk.svg serves every larger size.
set -eu
cd "$(dirname "$0")"
rsvg-convert -w 16 -h 16 sbk-16.svg -o sbk-16.png
for size in 24 32 48 64 128 256; do
    rsvg-convert -w "$size" -h "$size" sbk.svg -o "sbk-$size.png"
done

#!/bin/sh
# Draws the About window's pictures: run from this folder with ImageMagick.
# Everything is drawn at four times the size and scaled down for smooth edges.
set -e

# A quarter circle, up and to the right of (cx, cy), as short lines (a
# polyline would be closed into a segment).
arc() {
  awk -v cx="$1" -v cy="$2" -v r="$3" 'BEGIN {
    for (i = 0; i < 24; i++) { a = 3.14159265 / 2 * i / 24; b = 3.14159265 / 2 * (i + 1) / 24
      printf "line %.1f,%.1f %.1f,%.1f ", cx + r * sin(a), cy - r * cos(a), cx + r * sin(b), cy - r * cos(b) }
  }'
}

# The envelope that pings: a letter with signal arcs rising from its corner.
convert -size 460x396 xc:none \
  -stroke '#1c2f4a' -strokewidth 8 -fill '#f4f1e6' \
  -draw 'roundrectangle 30,150 330,370 18,18' \
  -fill '#e2dccb' -draw 'polygon 34,156 180,270 326,156' \
  -fill none -stroke '#b8ae96' -strokewidth 6 \
  -draw 'line 34,366 150,250' -draw 'line 326,366 210,250' \
  -stroke '#ffffbb' -strokewidth 18 -fill none \
  -draw "$(arc 310 140 70)" -draw "$(arc 310 140 120)" \
  -stroke '#ffd24a' -fill '#ffd24a' -draw 'circle 310,140 310,116' \
  -resize 115x99 envelope.png

# A small stack of letters with a count badge.
convert -size 248x200 xc:none \
  -stroke '#1c2f4a' -strokewidth 6 -fill '#cfc8b4' \
  -draw 'roundrectangle 40,40 200,150 10,10' \
  -fill '#f4f1e6' -draw 'roundrectangle 20,70 180,180 10,10' \
  -fill none -stroke '#b8ae96' -strokewidth 6 -draw 'polyline 24,74 100,130 176,74' \
  -stroke '#7a1010' -strokewidth 6 -fill '#d83a2e' -draw 'circle 196,56 196,20' \
  -stroke none -fill white -draw 'rectangle 190,36 202,78' -draw 'polygon 178,46 190,36 190,50' \
  -resize 62x50 letters.png

# The window icon: the envelope and arcs on 32 x 32 in 16 colours.
convert -size 128x128 xc:none \
  -stroke '#1c2f4a' -strokewidth 8 -fill '#f4f1e6' \
  -draw 'roundrectangle 8,44 100,116 8,8' \
  -fill '#e2dccb' -draw 'polygon 12,48 54,84 96,48' \
  -stroke '#e0a800' -strokewidth 10 -fill none \
  -draw "$(arc 92 44 18)" -draw "$(arc 92 44 34)" \
  -resize 32x32 -colors 16 PNG8:icon.png

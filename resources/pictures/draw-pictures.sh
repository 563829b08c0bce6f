#!/usr/bin/env bash
# Draws the window pictures (our own artwork) with ImageMagick. The PNG files
# are committed; run this again after changing a drawing.
set -euo pipefail
cd "$(dirname "$0")"

# A letter, seen from the front, on the dark-blue panels.
convert -size 76x75 xc:none \
  -fill '#fffbe6' -stroke '#c0b070' -strokewidth 2 -draw 'rectangle 6,16 70,60' \
  -fill none -stroke '#c0b070' -strokewidth 2 -draw 'polyline 6,16 38,42 70,16' \
  -stroke '#c0b070' -draw 'line 6,60 30,36' -draw 'line 70,60 46,36' \
  -fill '#e04040' -stroke none -draw 'rectangle 56,20 66,30' \
  envelope.png

# A mailbox on its post with the flag raised: mail is waiting.
convert -size 78x66 xc:none \
  -fill '#8a5a2b' -stroke none -draw 'rectangle 35,40 43,66' \
  -fill '#c8ced6' -stroke '#5a6470' -strokewidth 2 -draw 'roundrectangle 8,12 70,42 14,14' \
  -fill '#5a6470' -stroke none -draw 'rectangle 12,30 26,40' \
  -fill '#e04040' -draw 'rectangle 58,4 62,26' -draw 'rectangle 58,4 70,10' \
  mailbox.png

# A bell that rings when mail arrives.
convert -size 78x71 xc:none \
  -fill '#ffd23f' -stroke '#a07800' -strokewidth 2 \
  -draw 'path "M 39,8 C 22,8 20,26 20,38 L 14,52 L 64,52 L 58,38 C 58,26 56,8 39,8 Z"' \
  -fill '#a07800' -stroke none -draw 'circle 39,58 39,63' \
  -fill none -stroke '#ffffff' -strokewidth 2 -draw 'arc 4,10 16,50 120,240' -draw 'arc 62,10 74,50 -60,60' \
  bell.png

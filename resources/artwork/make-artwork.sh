#!/usr/bin/env bash
# Draws the form's pictures with ImageMagick: the header logo, the three mode icons, the picker's
# folder glyph and the program icon. The results are committed beside this script; run it again
# after changing a drawing.
set -euo pipefail
cd "$(dirname "$0")"
font=DejaVu-Sans-Bold

# An icon file holding the picture drawn by "$@" at each size given in $sizes.
icon() {
  local out=$1; shift
  local parts=()
  for s in $sizes; do
    convert -size 48x48 xc:none "$@" -resize "${s}x${s}" "png32:tmp-$s.png"
    parts+=("tmp-$s.png")
  done
  convert "${parts[@]}" "$out"
  rm -f "${parts[@]}"
}

# The logo: a ledger page with a rising chart and the initial Q, 105 x 65.
convert -size 105x65 xc:none \
  -fill '#1f5fa8' -draw 'roundrectangle 4,4 60,60 10,10' \
  -fill white -font "$font" -pointsize 44 -gravity northwest -annotate +12+2 'Q' \
  -fill '#2e9e5b' -draw 'rectangle 68,40 76,60' \
  -fill '#f0a830' -draw 'rectangle 80,28 88,60' \
  -fill '#d9463b' -draw 'rectangle 92,14 100,60' \
  -stroke '#1f5fa8' -strokewidth 2 -draw 'line 66,61 102,61' \
  png32:logo.png

sizes="32"
# New installation: a green disc with a plus.
icon icon_new.ico -fill '#2e9e5b' -draw 'circle 24,24 24,3' \
  -fill white -draw 'rectangle 21,11 27,37' -draw 'rectangle 11,21 37,27'
# Removal: a red disc with a cross.
icon icon_remove.ico -fill '#d9463b' -draw 'circle 24,24 24,3' \
  -stroke white -strokewidth 6 -draw 'line 15,15 33,33' -draw 'line 33,15 15,33'

sizes="48"
# Upgrade or repair: a blue disc with an upward arrow.
icon icon_upgrade.ico -fill '#1f5fa8' -draw 'circle 24,24 24,2' \
  -fill white -draw 'polygon 24,8 38,24 29,24 29,39 19,39 19,24 10,24'

sizes="16"
# The picker's glyph: a yellow folder.
icon glyph_open.ico -fill '#e0a526' -draw 'roundrectangle 3,10 22,18 2,2' \
  -fill '#f5c542' -stroke '#a8741a' -strokewidth 2 -draw 'roundrectangle 3,15 45,42 3,3'

sizes="16 32 48"
# The program: the logo's blue square with its Q.
icon setup.ico -fill '#1f5fa8' -draw 'roundrectangle 1,1 46,46 8,8' \
  -fill white -font "$font" -pointsize 40 -gravity center -annotate +0+0 'Q'

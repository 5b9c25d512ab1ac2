#!/usr/bin/env bash
# Renders the square PNG icons from the emblem at the left of the logo (the two contact cards),
# padded with the logo's blue and given rounded corners. The PNGs are committed, so a build never
# needs ImageMagick; run this again only when the logo changes.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
logo="$here/../../ui/dialogs/logo.jpg"
convert=/usr/bin/convert
[ -x "$convert" ] || convert=convert
for size in 48 128 256; do
  radius=$((size * 5 / 32))
  last=$((size - 1))
  "$convert" "$logo" -crop 191x191+28+0 +repage \
    -gravity center -background 'srgb(14,68,150)' -extent 211x211 \
    -resize "${size}x${size}" \
    \( -size "${size}x${size}" xc:none -fill white \
       -draw "roundrectangle 0,0 $last,$last $radius,$radius" \) \
    -compose DstIn -composite -strip "$here/com.quorva.Vellicard-$size.png"
done

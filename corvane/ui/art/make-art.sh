#!/usr/bin/env bash
# Draws the program's icon and the three window pictures (our own artwork) with ImageMagick.
# The results are committed; run this again only to change them.
# Each picture is drawn at three scales (100%, 150%, 200%: 96, 144 and 192 DPI), so that the
# window shows it sharp at the size the dialog has on that screen; other scales are made from
# the next larger one at run time.
set -euo pipefail
cd "$(dirname "$0")"
convert=/usr/bin/convert

# The icon: a blue disk stack with a green share arrow.
icon() {  # size file
  local s=$1 f=$2
  $convert -size "${s}x${s}" xc:none \
    -fill '#1d4f91' -stroke '#0b2a55' -strokewidth "$(( s / 16 + 1 ))" \
    -draw "roundrectangle $((s/8)),$((s/8)) $((s*7/8)),$((s*3/8)) $((s/16+1)),$((s/16+1))" \
    -draw "roundrectangle $((s/8)),$((s*7/16)) $((s*7/8)),$((s*11/16)) $((s/16+1)),$((s/16+1))" \
    -fill '#39a845' -stroke '#1d6b27' \
    -draw "polygon $((s*9/16)),$((s*11/16)) $((s*15/16)),$((s*13/16)) $((s*9/16)),$((s*15/16))" \
    -fill '#9fd0ff' -stroke none \
    -draw "rectangle $((s*5/8)),$((s/4-1)) $((s*3/4)),$((s/4))" \
    -draw "rectangle $((s*5/8)),$((s*9/16-1)) $((s*3/4)),$((s*9/16))" \
    "$f"
}
# Small and large icons for 96 to 192 DPI.
sizes="16 20 24 32 40 48 64"
for n in $sizes; do icon "$n" "i$n.png"; done
$convert $(for n in $sizes; do echo "i$n.png"; done) corvane.ico
for n in $sizes; do rm -f "i$n.png"; done

# Scales: file suffix and factor (percent).
for scale in "":100 "-150":150 "-200":200; do
  sfx=${scale%%:*}
  pct=${scale##*:}
  px() { echo $(( $1 * pct / 100 )); }  # a 96-DPI length at this scale
  f=$(awk "BEGIN { print $pct / 100 }")

  # Image1: the program's mark beside the link text (48 x 48 at 96 DPI).
  icon "$(px 48)" mark.png
  $convert -size "$(px 48)x$(px 48)" xc:'#f0f0f0' mark.png -composite -type truecolor "BMP3:image1$sfx.bmp"
  rm -f mark.png

  # Image2: the sibling product's badge (96 x 32).
  $convert -size "$(px 96)x$(px 32)" gradient:'#2a6fb8'-'#123a6b' \
    -fill white -font DejaVu-Sans-Bold -pointsize "$(awk "BEGIN { print 13 * $f }")" -gravity center \
    -annotate "+0-$(awk "BEGIN { print 4 * $f }")" 'TALLYRA' \
    -fill '#ffd24a' -font DejaVu-Sans -pointsize "$(awk "BEGIN { print 8 * $f }")" \
    -annotate "+0+$(awk "BEGIN { print 9 * $f }")" 'storage management' \
    -type truecolor "BMP3:image2$sfx.bmp"

  # Image3: servers joined by a network line, under the domain list (112 x 56).
  $convert -size "$(px 112)x$(px 56)" xc:'#f0f0f0' \
    -draw "scale $f,$f stroke '#5a5a5a' stroke-width 2 line 8,48 104,48 line 24,38 24,48 line 56,38 56,48 line 88,38 88,48" \
    -draw "scale $f,$f fill '#c8c8c8' stroke '#4a4a4a' stroke-width 1 rectangle 14,6 34,38 rectangle 46,6 66,38 rectangle 78,6 98,38" \
    -draw "scale $f,$f fill '#39a845' stroke none rectangle 18,30 22,33 rectangle 50,30 54,33 rectangle 82,30 86,33" \
    -draw "scale $f,$f fill '#1d4f91' stroke none rectangle 18,11 30,13 rectangle 50,11 62,13 rectangle 82,11 94,13 rectangle 18,17 30,19 rectangle 50,17 62,19 rectangle 82,17 94,19" \
    -type truecolor "BMP3:image3$sfx.bmp"
done

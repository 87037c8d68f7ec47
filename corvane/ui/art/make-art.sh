#!/usr/bin/env bash
# Draws the program's icon and the three window pictures (our own artwork) with ImageMagick.
# The results are committed; run this again only to change them.
set -euo pipefail
cd "$(dirname "$0")"
convert=/usr/bin/convert

# The icon: a blue disk stack with a green share arrow, at 16, 32 and 48 pixels.
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
icon 16 i16.png; icon 32 i32.png; icon 48 i48.png
$convert i16.png i32.png i48.png corvane.ico
rm -f i16.png i32.png i48.png

# Image1: the program's mark beside the link text (48 x 48).
icon 48 mark.png
$convert -size 48x48 xc:'#f0f0f0' mark.png -composite -type truecolor BMP3:image1.bmp
rm -f mark.png

# Image2: the sibling product's badge (96 x 32).
$convert -size 96x32 gradient:'#2a6fb8'-'#123a6b' \
  -fill white -font DejaVu-Sans-Bold -pointsize 13 -gravity center -annotate +0-4 'TALLYRA' \
  -fill '#ffd24a' -font DejaVu-Sans -pointsize 8 -annotate +0+9 'storage management' \
  -type truecolor BMP3:image2.bmp

# Image3: servers joined by a network line, under the domain list (112 x 56).
$convert -size 112x56 xc:'#f0f0f0' \
  -stroke '#5a5a5a' -strokewidth 2 -draw 'line 8,48 104,48' \
  -draw 'line 24,38 24,48' -draw 'line 56,38 56,48' -draw 'line 88,38 88,48' \
  -fill '#c8c8c8' -stroke '#4a4a4a' -strokewidth 1 \
  -draw 'rectangle 14,6 34,38' -draw 'rectangle 46,6 66,38' -draw 'rectangle 78,6 98,38' \
  -fill '#39a845' -stroke none \
  -draw 'rectangle 18,30 22,33' -draw 'rectangle 50,30 54,33' -draw 'rectangle 82,30 86,33' \
  -fill '#1d4f91' \
  -draw 'rectangle 18,11 30,13' -draw 'rectangle 50,11 62,13' -draw 'rectangle 82,11 94,13' \
  -draw 'rectangle 18,17 30,19' -draw 'rectangle 50,17 62,19' -draw 'rectangle 82,17 94,19' \
  -type truecolor BMP3:image3.bmp

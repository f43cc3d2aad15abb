#!/bin/sh
# shellcheck disable=SC2086  # BMPOPT/PNGOPT are option lists meant to be split into words
# Regenerates the picture assets of Vantrel into assets/images/.
#
#   sh tools/make_pictures.sh          (run from anywhere inside the work tree)
#
# Needs only ImageMagick 6 (Debian package "imagemagick"); the real binary is
# called by its full path, /usr/bin/convert.  Every random element uses a fixed
# seed and PNG time stamps are left out, so the output is reproducible.
#
# Files written:
#   vantrel.bmp  details.bmp  change.bmp  sunset2.bmp   window backgrounds,
#                                                       8-bit palette BMP (BMP3)
#   first.png prev.png next.png last.png (+ @2x)        navigation arrows
#   hand.png, hand.hotspot                              pointing-hand cursor
set -eu

C=/usr/bin/convert
[ -x "$C" ] || { echo "make_pictures.sh: $C (ImageMagick) is missing" >&2; exit 1; }

ROOT=$(cd "$(dirname "$0")/.." && pwd)
OUT="$ROOT/assets/images"
mkdir -p "$OUT"

# Background size: 4:3, 8 bits per pixel -> about 109 KiB per file.
W=384
H=288

# Common tail for the backgrounds: 256-colour palette, plain Windows BMP v3.
BMPOPT="-dither FloydSteinberg -colors 256 -type Palette -compress None"

# PNG options: 32-bit RGBA, no time stamps (reproducible bytes).
PNGOPT="-strip -define png:exclude-chunks=date,time"

# ---------------------------------------------------------------------------
# 1. Window backgrounds
# ---------------------------------------------------------------------------

# vantrel.bmp - login window, "diary" paper: warm cream gradient, faint paper
# grain, faint ruled lines with a pale red margin line, soft warm vignette.
rules=""
y=38
while [ $y -lt $H ]; do
    rules="$rules line 0,$y $W,$y"
    y=$((y + 25))
done
$C -size ${W}x${H} gradient:'#fffaef-#f8ecd4' \
   \( -seed 11 -size ${W}x${H} plasma:grey50-grey50 -colorspace Gray \
      -blur 0x2 -auto-level +level 44%,56% \) \
   -compose SoftLight -composite \
   \( -size ${W}x${H} xc:none -fill none \
      -stroke 'rgba(160,130,90,0.20)' -strokewidth 1 -draw "$rules" \
      -stroke 'rgba(210,110,110,0.25)' -draw "line 44,0 44,$H" \
      -blur 0x0.5 \) \
   -compose Over -composite \
   \( -size ${W}x${H} xc:none -fill 'rgba(240,205,160,0.20)' -stroke none \
      -draw "circle 340,40 340,110" -draw "circle 30,260 30,320" \
      -fill 'rgba(255,255,255,0.45)' -draw "ellipse 200,140 150,90 0,360" \
      -blur 0x25 \) \
   -compose Over -composite \
   \( -size ${W}x${H} radial-gradient:white-'#f8efdf' \) \
   -compose Multiply -composite \
   -seed 12 -attenuate 0.08 +noise Gaussian \
   $BMPOPT BMP3:"$OUT/vantrel.bmp"

# details.bmp - contact book window: pale blue (top) to cream (bottom) with
# faint soft diagonal lines and a soft light glow.
diag=""
x=-$H
while [ $x -lt $W ]; do
    diag="$diag line $x,$H $((x + H)),0"
    x=$((x + 34))
done
$C -size ${W}x${H} gradient:'#e9f1fb-#fcf9ef' \
   \( -size ${W}x${H} xc:none -fill none \
      -stroke 'rgba(150,175,215,0.13)' -strokewidth 2 -draw "$diag" \
      -blur 0x1.5 \) \
   -compose Over -composite \
   \( -size ${W}x${H} xc:none -stroke none \
      -fill 'rgba(255,255,255,0.55)' -draw "ellipse 110,70 150,80 0,360" \
      -fill 'rgba(205,222,245,0.30)' -draw "ellipse 330,250 120,70 0,360" \
      -blur 0x30 \) \
   -compose Over -composite \
   -seed 21 -attenuate 0.05 +noise Gaussian \
   $BMPOPT BMP3:"$OUT/details.bmp"

# change.bmp - change-password window: pale mint diagonal gradient with soft
# blurred bubbles.
$C -size ${W}x${H} -define gradient:angle=135 gradient:'#dff3e6-#f7fcf3' \
   \( -size ${W}x${H} xc:none -stroke none \
      -fill 'rgba(255,255,255,0.50)' \
        -draw "circle 70,60 70,115" -draw "circle 300,210 300,280" \
        -draw "circle 220,40 220,70" \
      -fill 'rgba(150,210,175,0.22)' \
        -draw "circle 330,60 330,100" -draw "circle 60,240 60,290" \
        -draw "circle 170,180 170,205" \
      -blur 0x14 \) \
   -compose Over -composite \
   \( -size ${W}x${H} xc:none -fill none \
      -stroke 'rgba(255,255,255,0.40)' -strokewidth 3 \
      -draw "bezier 0,200 120,150 250,260 $W,190" \
      -stroke 'rgba(140,200,165,0.18)' \
      -draw "bezier 0,225 130,175 260,285 $W,215" \
      -blur 0x3 \) \
   -compose Over -composite \
   -seed 31 -attenuate 0.05 +noise Gaussian \
   $BMPOPT BMP3:"$OUT/change.bmp"

# sunset2.bmp - quit confirmation: peach/orange at the top through pink to a
# pale lilac at the bottom, a soft glowing sun in the middle (keeps the centre
# light for dark bold text) and a few faint cloud streaks.
H1=$((H * 30 / 100)); H2=$((H * 35 / 100)); H3=$((H - H1 - H2))
$C \( -size 1x$H1 gradient:'#f8c39b-#fbd4bd' \) \
   \( -size 1x$H2 gradient:'#fbd4bd-#f7d0da' \) \
   \( -size 1x$H3 gradient:'#f7d0da-#e5dcf3' \) \
   -append -resize ${W}x${H}\! \
   \( -size ${W}x${H} xc:none -stroke none \
      -fill 'rgba(255,250,225,0.75)' -draw "ellipse $((W / 2)),$((H * 45 / 100)) 120,70 0,360" \
      -fill 'rgba(255,240,205,0.55)' -draw "circle $((W / 2)),$((H * 45 / 100)) $((W / 2)),$((H * 45 / 100 + 40))" \
      -blur 0x35 \) \
   -compose Over -composite \
   \( -size ${W}x${H} xc:none -stroke none \
      -fill 'rgba(255,255,255,0.35)' \
        -draw "ellipse 80,50 90,7 0,360" -draw "ellipse 300,80 80,6 0,360" \
        -draw "ellipse 120,225 110,8 0,360" -draw "ellipse 320,250 70,6 0,360" \
      -fill 'rgba(220,170,200,0.20)' \
        -draw "ellipse 250,35 70,5 0,360" -draw "ellipse 60,268 80,6 0,360" \
      -blur 0x6 \) \
   -compose Over -composite \
   -seed 41 -attenuate 0.05 +noise Gaussian \
   $BMPOPT BMP3:"$OUT/sunset2.bmp"

# ---------------------------------------------------------------------------
# 2. Navigation arrows (crisp, no anti-aliasing, transparent background)
# ---------------------------------------------------------------------------
INK='#203060'

# tri DIR X0 WIDTH HEIGHT -> prints -draw rectangles (one per pixel row) of a
# triangle pointing DIR (left|right) whose box starts at column X0.  The tip is
# the two middle rows; each row outward loses round(WIDTH*k/(HEIGHT/2)) pixels.
tri() {
    dir=$1 x0=$2 w=$3 h=$4
    t=$((h / 2))
    y=0
    while [ $y -lt $h ]; do
        if [ $y -lt $t ]; then k=$((t - 1 - y)); else k=$((y - t)); fi
        off=$(((2 * w * k + t) / (2 * t)))
        if [ "$dir" = left ]; then
            printf ' rectangle %d,%d %d,%d' $((x0 + off)) $y $((x0 + w - 1)) $y
        else
            printf ' rectangle %d,%d %d,%d' $x0 $y $((x0 + w - 1 - off)) $y
        fi
        y=$((y + 1))
    done
}

# arrow NAME SCALE: s=1 -> 1x file, s=2 -> @2x file.
arrow() {
    name=$1 s=$2
    h=$((10 * s))
    case $name in
        prev)  w=$((8 * s)); shapes=$(tri left 0 $w $h) ;;
        next)  w=$((8 * s)); shapes=$(tri right 0 $w $h) ;;
        # bar 1 px, gap 1 px, triangle 5 px (times the scale)
        first) w=$((7 * s)); shapes="rectangle 0,0 $((s - 1)),$((h - 1))$(tri left $((2 * s)) $((5 * s)) $h)" ;;
        last)  w=$((7 * s)); shapes="rectangle $((w - s)),0 $((w - 1)),$((h - 1))$(tri right 0 $((5 * s)) $h)" ;;
    esac
    if [ "$s" = 1 ]; then file="$OUT/$name.png"; else file="$OUT/$name@${s}x.png"; fi
    $C -size ${w}x${h} xc:none +antialias -stroke none -fill "$INK" \
       -draw "$shapes" $PNGOPT PNG32:"$file"
}

for n in first prev next last; do
    arrow $n 1
    arrow $n 2
done

# ---------------------------------------------------------------------------
# 3. Pointing-hand cursor, 32x32: X = black outline, o = white, blank = clear.
#    Hot spot: the tip of the index finger.
# ---------------------------------------------------------------------------
$C xpm:- $PNGOPT PNG32:"$OUT/hand.png" <<'EOF'
/* XPM */
static char *hand[] = {
"32 32 3 1",
"  c None",
"X c #000000",
"o c #FFFFFF",
"      XXX                       ",
"     XoooX                      ",
"     XoooX                      ",
"     XoooX                      ",
"     XoooX                      ",
"     XoooX                      ",
"     XoooX                      ",
"     XoooXXXX                   ",
"     XoooXoooXXXX               ",
"     XoooXoooXoooX              ",
"     XoooXoooXoooXXX            ",
" XXX XoooXoooXoooXooX           ",
"XoooXXoooXoooXoooXooX           ",
"XooooXooooooooooooooX           ",
" XooooooooooooooooooX           ",
" XooooooooooooooooooX           ",
"  XoooooooooooooooooX           ",
"  XoooooooooooooooooX           ",
"   XooooooooooooooooX           ",
"   XooooooooooooooooX           ",
"    XooooooooooooooX            ",
"     XooooooooooooX             ",
"     XooooooooooooX             ",
"     XXXXXXXXXXXXXX             ",
"                                ",
"                                ",
"                                ",
"                                ",
"                                ",
"                                ",
"                                ",
"                                ",
};
EOF
echo "7 0" > "$OUT/hand.hotspot"

echo "Pictures written to $OUT"

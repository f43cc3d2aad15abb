#!/bin/sh
# Renders the application icons from their SVG sources into PNG files of the
# freedesktop hicolor sizes:
#
#   sh tools/make_icons.sh          (run from anywhere inside the work tree)
#
# Needs rsvg-convert (Debian package "librsvg2-bin"). The output is a pure
# function of the SVG files: no time stamps, no randomness.
#
# Files written: assets/icons/hicolor/<N>x<N>/apps/{vantrel,vantrel-report,vantrel-exchange,vantrel-sync}.png
set -eu

R=/usr/bin/rsvg-convert
[ -x "$R" ] || { echo "make_icons.sh: $R (librsvg2-bin) is missing" >&2; exit 1; }

ROOT=$(cd "$(dirname "$0")/.." && pwd)
ICONS="$ROOT/assets/icons"

for size in 16 22 24 32 48 64 128 256; do
    dir="$ICONS/hicolor/${size}x${size}/apps"
    mkdir -p "$dir"
    for name in vantrel vantrel-report vantrel-exchange vantrel-sync; do
        "$R" --width "$size" --height "$size" --format png --output "$dir/$name.png" "$ICONS/$name.svg"
    done
done

echo "Icons written to $ICONS/hicolor"

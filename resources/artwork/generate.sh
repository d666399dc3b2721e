#!/usr/bin/env bash
# Renders the artwork sources (SVG, drawn for this project) into the pictures the program compiles
# in, at the formats and sizes the windows show. Needs rsvg-convert (librsvg2-bin) and ImageMagick.
# The generated files are committed, so building the program does not need these tools.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
out=$(dirname "$here")
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

render() { rsvg-convert -w "$2" -h "$3" "$here/$1.svg" -o "$tmp/$1.png"; }

# Application icon, 16 to 72 pixels, and a Windows icon with the same sizes.
sizes=(16 24 32 48 64 72)
for s in "${sizes[@]}"; do
    rsvg-convert -w "$s" -h "$s" "$here/kestrel-icon.svg" -o "$out/kestrel-$s.png"
done
convert $(for s in "${sizes[@]}"; do echo "$out/kestrel-$s.png"; done) "$out/kestrel.ico"

# Board pictures: JPEG for the serial board, 24-bit BMP for the USB board.
render tessard-leds 634 429
render tessard-connectors 664 386
render quillon-layout 729 487
render quillon-connectors 768 619
convert "$tmp/tessard-leds.png" -background white -flatten -quality 92 "$out/tessard-leds.jpg"
convert "$tmp/tessard-connectors.png" -background white -flatten -quality 92 "$out/tessard-connectors.jpg"
convert "$tmp/quillon-layout.png" -background white -flatten -alpha off -type TrueColor "BMP3:$out/quillon-layout.bmp"
convert "$tmp/quillon-connectors.png" -background white -flatten -alpha off -type TrueColor "BMP3:$out/quillon-connectors.bmp"

# About screen: a JPEG and a GIF.
render about 250 185
render about-logo 85 101
convert "$tmp/about.png" -background white -flatten -quality 92 "$out/about.jpg"
convert "$tmp/about-logo.png" -background white -flatten "$out/about-logo.gif"

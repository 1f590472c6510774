#!/bin/sh
# Regenerates the application icon rasters in resources/icons/ from their SVG sources.
#
# Needs the Debian packages librsvg2-bin (rsvg-convert) and imagemagick (convert):
#   apt-get install librsvg2-bin imagemagick
#
# The build does not run this; the PNGs and the .ico are committed. Run it after
# editing any resources/icons/vantrel-discovery*.svg and commit the results.
set -eu

cd "$(dirname "$0")/../resources/icons"

for tool in rsvg-convert convert; do
    command -v "$tool" >/dev/null 2>&1 || {
        echo "make-icons.sh: '$tool' not found; install librsvg2-bin and imagemagick" >&2
        exit 1
    }
done

name=vantrel-discovery

# 16 and 32 px have their own hand-tuned sources: the master's thin gaps and
# third arc blur into mush when simply scaled down that far.
source_for() {
    case "$1" in
        16 | 32) echo "$name-$1.svg" ;;
        *) echo "$name.svg" ;;
    esac
}

pngs=
for size in 16 32 48 64 128 256; do
    out="$name-$size.png"
    rsvg-convert --format=png --width="$size" --height="$size" \
        --output="$out.tmp" "$(source_for "$size")"
    # Force 8-bit RGBA and drop ancillary chunks (timestamps) so reruns are byte-identical.
    convert "$out.tmp" -strip -define png:color-type=6 -define png:bit-depth=8 \
        -define png:exclude-chunks=date,time "PNG32:$out"
    rm -f "$out.tmp"
    pngs="$pngs $out"
done

# The Windows icon (resources/windows/vantrel-discovery.rc): ImageMagick stores 16 to 128
# as 32-bpp bitmaps with a 1-bit mask and 256 as PNG. Left to itself it would pick the
# smallest PNG type for that one (palette or grey for flat artwork), so pin 8-bit RGBA.
# shellcheck disable=SC2086  # word splitting of the file list is intended
convert $pngs -define png:color-type=6 -define png:bit-depth=8 \
    -define png:exclude-chunks=date,time "$name.ico"

echo "wrote:$pngs $name.ico"

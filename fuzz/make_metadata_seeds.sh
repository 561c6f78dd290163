#!/usr/bin/env bash
# Rewrites the metadata target's seeds in fuzz/seeds/metadata: a small JPEG, TIFF and PNG,
# each with EXIF (GPS, a thumbnail, a turned orientation), IPTC, XMP and a colour profile,
# written by ImageMagick and exiftool (run by hand, then commit them).
set -euo pipefail
cd "$(dirname "$0")"
out=seeds/metadata
mkdir -p "$out"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
convert -size 16x12 gradient:red-blue "$work/plain.jpg"
convert -size 8x6 xc:yellow "$work/thumb.jpg"
# A small display profile, as the tests' colourProfile("Kelmira seed display") makes it.
profile="$work/display.icc"
base64 -d > "$profile" <<'PROFILE'
AAACBAAAAAACEAAAbW50clJHQiBYWVogB+UABgAFAA4AAwAWYWNzcAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAPbWAAEA
AAAA0y0AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAJZGVzYwAAAPAAAABvY3BydAAA
AWAAAAAhd3RwdAAAAYQAAAAUclhZWgAAAZgAAAAUZ1hZWgAAAawAAAAUYlhZWgAAAcAAAAAUclRSQwAAAdQAAAAOZ1RSQwAAAeQA
AAAOYlRSQwAAAfQAAAAOZGVzYwAAAAAAAAAVS2VsbWlyYSBzZWVkIGRpc3BsYXkAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA
AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAHRleHQAAAAATm8gY29weXJpZ2h0LCB1
c2UgZnJlZWx5AAAAAFhZWiAAAAAAAAD21gABAAAAANMtWFlaIAAAAAAAAG+kAAA49gAAA49YWVogAAAAAAAAYpYAALeHAAAY3FhZ
WiAAAAAAAAAkogAAD4MAALbPY3VydgAAAAAAAAABAjMAAGN1cnYAAAAAAAAAAQIzAABjdXJ2AAAAAAAAAAECMwAA
PROFILE
for format in jpg tif png; do
  convert "$work/plain.jpg" -profile "$profile" "$out/tagged.$format"
  exiftool -q -overwrite_original -n -Make=Canon -Model="Canon EOS R6" -DateTimeOriginal="2021:06:05 14:03:22" \
    -GPSLatitude=59.91387 -GPSLatitudeRef=N -GPSLongitude=10.75225 -GPSLongitudeRef=W -Orientation=6 \
    -IPTC:City=Oslo -IPTC:Keywords=harbour -XMP-dc:Creator="Ann Example" -XMP-GPano:ProjectionType=cylindrical \
    "-ThumbnailImage<=$work/thumb.jpg" "$out/tagged.$format" || true
done
ls -l "$out"

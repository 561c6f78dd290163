#!/usr/bin/env bash
# kelmira-cli movie of a 4512 x 724 panorama with each codec at normal quality, beside
# ffmpeg encoding the same 24 tiles (the panorama turned a quarter turn, 724 x 188 each)
# as MJPEG into a .mov, in the same run.
# Usage: bench/movie_end_to_end.sh BUILD_FOLDER   (needs ffmpeg)
set -euo pipefail
build=${1:-build/release}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

"$build/tools/kelmira-make-scene" "$work/pano.bmp" 4512x724
ffmpeg -v error -i "$work/pano.bmp" -vf transpose=2 -y "$work/turned.bmp"

# Median wall time in milliseconds of five runs of a command.
median_ms() {
  local times=()
  for _ in 1 2 3 4 5; do
    local start end
    start=$(date +%s%N)
    "$@" > /dev/null 2>&1
    end=$(date +%s%N)
    times+=($(((end - start) / 1000000)))
  done
  printf '%s\n' "${times[@]}" | sort -n | sed -n 3p
}

ffmpeg_ms=$(median_ms ffmpeg -v error -loop 1 -i "$work/turned.bmp" -vf "crop=724:188:0:n*188" -frames:v 24 \
  -c:v mjpeg -q:v 4 -y "$work/ffmpeg.mov")
echo "ffmpeg, 24 tiles as MJPEG into a .mov:   ${ffmpeg_ms} ms"
for codec in jpeg cinepak sorenson; do
  ms=$(median_ms "$build/src/kelmira-cli" movie "$work/pano.bmp" "$work/$codec.mov" --codec "$codec")
  echo "kelmira-cli movie --codec $codec: ${ms} ms ($(awk "BEGIN { printf \"%.2f\", $ms / $ffmpeg_ms }") x ffmpeg)"
done
echo "(target for jpeg: 1.5 x ffmpeg at most)"

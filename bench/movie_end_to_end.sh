#!/usr/bin/env bash
# kelmira-cli movie of a 4512 x 724 panorama with each codec at normal quality, beside
# ffmpeg encoding the same 24 tiles (the panorama turned a quarter turn and cut into
# 724 x 188 pictures beforehand, so that ffmpeg only reads and encodes them) into a .mov
# with the same codec, in the same run. Kelmira's time includes everything: reading the
# panorama, turning and cutting it, the VR tracks and writing the file.
# Usage: bench/movie_end_to_end.sh BUILD_FOLDER   (needs ffmpeg)
set -euo pipefail
build=${1:-build/release}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

"$build/tools/kelmira-make-scene" "$work/pano.bmp" 4512x724
ffmpeg -v error -i "$work/pano.bmp" -vf transpose=2 -y "$work/turned.bmp"
for tile in $(seq 0 23); do
  ffmpeg -v error -i "$work/turned.bmp" -vf "crop=724:188:0:$((tile * 188))" -y "$(printf '%s/tile%02d.bmp' "$work" "$tile")"
done

# Median wall time in milliseconds of five runs of a command.
median_ms() {
  local times=()
  for _ in 1 2 3 4 5; do
    local start end
    start=$(date +%s%N)
    "$@" < /dev/null > /dev/null 2>&1
    end=$(date +%s%N)
    times+=($(((end - start) / 1000000)))
  done
  printf '%s\n' "${times[@]}" | sort -n | sed -n 3p
}

# codec name here, ffmpeg's encoder and its options, target ratio (empty: none)
while read -r codec encoder options target; do
  ffmpeg_ms=$(median_ms ffmpeg -nostdin -v error -i "$work/tile%02d.bmp" -c:v "$encoder" ${options//=/ } -y "$work/ffmpeg-$codec.mov")
  ours=$(median_ms "$build/src/kelmira-cli" movie "$work/pano.bmp" "$work/$codec.mov" --codec "$codec")
  ratio=$(awk "BEGIN { printf \"%.2f\", $ours / $ffmpeg_ms }")
  printf '%-9s ffmpeg, 24 pre-cut tiles: %6d ms   kelmira-cli movie: %6d ms   %s x%s\n' \
    "$codec" "$ffmpeg_ms" "$ours" "$ratio" "${target:+ (target $target x at most)}"
done <<'CODECS'
jpeg mjpeg -q:v=4 1.2
cinepak cinepak -q:v=4
sorenson svq1 -q:v=4
CODECS

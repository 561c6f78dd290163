#!/usr/bin/env bash
# kelmira-cli unwarp of a grainy 12-megapixel camera JPEG (4032 x 3024, quality 95) into a
# progressive quality-100 JPEG, end to end, beside the same work done by separate tools in
# the same run: djpeg decoding the photograph (writing its output), OpenCV's cv::remap on
# one thread doing the unwarp's mapping (from unwarp_bench), and
# cjpeg -quality 100 -progressive encoding the panorama (reading its input).
# Usage: bench/end_to_end.sh BUILD_FOLDER
# Needs djpeg and cjpeg (libjpeg-turbo-progs) and a build that found OpenCV.
set -euo pipefail
build=${1:-build/release}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

"$build/tools/kelmira-make-scene" "$work/scene.bmp" 7600x1210
"$build/src/kelmira-cli" simulate "$work/scene.bmp" "$work/clean.bmp" --size 4032x3024 > /dev/null
"$build/bench/kelmira-add-grain" "$work/clean.bmp" "$work/round.bmp" 12
cjpeg -quality 95 -outfile "$work/round.jpg" "$work/round.bmp"
"$build/src/kelmira-cli" unwarp "$work/round.jpg" "$work/panorama.bmp" > /dev/null

# Median wall time in milliseconds of nine runs of a command.
median_ms() {
  local times=()
  for _ in 1 2 3 4 5 6 7 8 9; do
    local start end
    start=$(date +%s%N)
    "$@" > /dev/null
    end=$(date +%s%N)
    times+=($(((end - start) / 1000000)))
  done
  printf '%s\n' "${times[@]}" | sort -n | sed -n 5p
}

decode=$(median_ms djpeg -outfile "$work/decoded.ppm" "$work/round.jpg")
encode=$(median_ms cjpeg -quality 100 -progressive -outfile "$work/encoded.jpg" "$work/panorama.bmp")
remap=$("$build/bench/unwarp_bench" --benchmark_filter='BM_OpenCvRemapOneThread' --benchmark_format=csv 2>/dev/null |
        awk -F, '/BM_OpenCvRemapOneThread/ { printf "%d", $3 + 0.5 }')
if [ -z "$remap" ]; then
  echo "unwarp_bench has no OpenCV remap: install libopencv-dev (bash scripts/setup.sh bench) and rebuild" >&2
  exit 1
fi
whole=$(median_ms "$build/src/kelmira-cli" unwarp "$work/round.jpg" "$work/out.jpg")
sum=$((decode + remap + encode))
echo "djpeg of the 4032 x 3024 photograph:             ${decode} ms"
echo "cv::remap on one thread (unwarp_bench):          ${remap} ms"
echo "cjpeg -quality 100 -progressive of the panorama: ${encode} ms"
echo "sum of the tools:                                ${sum} ms"
echo "kelmira-cli unwarp, end to end:                  ${whole} ms" \
     "($(awk "BEGIN { printf \"%.2f\", $whole / $sum }") x the tools; target 0.9 x at most)"

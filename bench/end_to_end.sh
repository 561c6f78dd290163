#!/usr/bin/env bash
# kelmira-cli unwarp of a 12-megapixel camera JPEG, end to end, beside the sum of its
# parts done by other tools: djpeg decoding the photograph, the unwarp alone (from
# unwarp_bench), and cjpeg -quality 100 -progressive encoding the panorama.
# Usage: bench/end_to_end.sh BUILD_FOLDER   (needs djpeg and cjpeg: libjpeg-turbo-progs)
set -euo pipefail
build=${1:-build/release}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

"$build/tools/kelmira-make-scene" "$work/scene.bmp" 7600x1210
"$build/src/kelmira-cli" simulate "$work/scene.bmp" "$work/round.bmp" --size 4032x3024 > /dev/null
cjpeg -quality 92 -outfile "$work/round.jpg" "$work/round.bmp"
"$build/src/kelmira-cli" unwarp "$work/round.jpg" "$work/panorama.bmp" > /dev/null

# Median wall time in milliseconds of seven runs of a command.
median_ms() {
  local times=()
  for _ in 1 2 3 4 5 6 7; do
    local start end
    start=$(date +%s%N)
    "$@" > /dev/null
    end=$(date +%s%N)
    times+=($(((end - start) / 1000000)))
  done
  printf '%s\n' "${times[@]}" | sort -n | sed -n 4p
}

decode=$(median_ms djpeg -outfile "$work/decoded.ppm" "$work/round.jpg")
encode=$(median_ms cjpeg -quality 100 -progressive -outfile "$work/encoded.jpg" "$work/panorama.bmp")
unwarp=$("$build/bench/unwarp_bench" --benchmark_filter='BM_UnwarpRing/' --benchmark_format=csv 2>/dev/null |
         awk -F, '/BM_UnwarpRing/ { printf "%d", $3 + 0.5 }')
whole=$(median_ms "$build/src/kelmira-cli" unwarp "$work/round.jpg" "$work/out.jpg")
sum=$((decode + unwarp + encode))
echo "djpeg of the 4032 x 3024 photograph:          ${decode} ms"
echo "unwarp alone (unwarp_bench):                   ${unwarp} ms"
echo "cjpeg -quality 100 -progressive of the panorama: ${encode} ms"
echo "sum of the parts:                              ${sum} ms"
echo "kelmira-cli unwarp, end to end:                ${whole} ms ($(awk "BEGIN { printf \"%.2f\", $whole / $sum }") x the sum; target 1.3 x at most)"

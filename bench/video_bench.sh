#!/usr/bin/env bash
# kelmira-cli video against the do-it-yourself way, in one run: FFmpeg's remap filter fed
# PGM maps of the same geometry (nearest pixel), with the same x264 settings (libx264,
# yuv420p, crf 20, preset medium) into MP4. Mirror videos of 1080p in, 1920 x 960 out, and
# 2160p in, 3840 x 1920 out, without audio; the median of RUNS runs of each, alternating.
# Usage: bench/video_bench.sh BUILD_FOLDER [RUNS] [FRAMES_1080P] [FRAMES_2160P]
# Target: kelmira-cli at most 0.7 x the remap pipeline's time.
set -euo pipefail
build=${1:-build/release}
runs=${2:-3}
frames_hd=${3:-120}
frames_uhd=${4:-30}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

x264=(-c:v libx264 -pix_fmt yuv420p -crf 20 -preset medium)

# The wall time and the processor time (user and system, all threads) a command takes, in
# seconds: "WALL CPU". On a machine shared with other work the processor time is the
# steadier measure of the work each way does.
seconds() {
  /usr/bin/time -f '%e %U %S' -o "$work/time" "$@" > /dev/null 2>&1
  awk '{ printf "%.2f %.2f", $1, $2 + $3 }' "$work/time"
}

median() { printf '%s\n' "$@" | sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

compare() {  # NAME IN_WIDTH IN_HEIGHT OUT_WIDTH FRAMES
  local name=$1 w=$2 h=$3 out=$4 frames=$5
  local radius=$((h / 2)) cx=$((w / 2)) cy=$((h / 2))
  "$build/bench/kelmira-paint-mirror-video" "$w" "$h" "$frames" |
    ffmpeg -v error -y -f rawvideo -pix_fmt rgb24 -s "${w}x${h}" -r 30 -i - -c:v libx264 -preset veryfast -crf 18 \
      -pix_fmt yuv420p "$work/$name.mp4"
  "$build/bench/kelmira-remap-maps" "$w" "$h" "$cx" "$cy" "$radius" "$out" "$work/x.pgm" "$work/y.pgm"
  local ours=() theirs=() ours_cpu=() theirs_cpu=() t
  for _ in $(seq "$runs"); do
    t=$(seconds ffmpeg -v error -y -i "$work/$name.mp4" -i "$work/x.pgm" -i "$work/y.pgm" \
          -filter_complex '[0:v][1:v][2:v]remap' "${x264[@]}" "$work/remap.mp4")
    theirs+=("${t% *}")
    theirs_cpu+=("${t#* }")
    t=$(seconds "$build/src/kelmira-cli" video "$work/$name.mp4" "$work/kelmira.mp4" \
          --centre "$cx,$cy" --ring-radius "$radius" --width "$out" --crf 20 --preset medium)
    ours+=("${t% *}")
    ours_cpu+=("${t#* }")
  done
  echo "$name in, $out x $((out / 2)) out, $frames frames (median of $runs runs):"
  awk -v f="$frames" -v a="$(median "${ours[@]}")" -v b="$(median "${theirs[@]}")" \
      -v ac="$(median "${ours_cpu[@]}")" -v bc="$(median "${theirs_cpu[@]}")" 'BEGIN {
    printf "  ffmpeg remap filter + libx264: %7.2f s wall %6.2f fps, %7.2f s of processor time\n", b, f / b, bc
    printf "  kelmira-cli video:             %7.2f s wall %6.2f fps, %7.2f s of processor time\n", a, f / a, ac
    printf "  kelmira-cli / remap pipeline:  %.2f x the wall time, %.2f x the processor time (target 0.7 x at most)\n", a / b, ac / bc
  }'
}

echo "video_bench: $(nproc) cores; kelmira-cli video against ffmpeg -lavfi remap, same x264 settings (crf 20, medium)"
compare 1080p 1920 1080 1920 "$frames_hd"
compare 2160p 3840 2160 3840 "$frames_uhd"

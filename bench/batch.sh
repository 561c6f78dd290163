#!/usr/bin/env bash
# Throughput of kelmira-cli unwarp over a folder of eight grainy 12-megapixel photographs
# (4032 x 3024, quality 95) with --jobs 1 and --jobs 2, and of the same folder run through
# GNU parallel with one kelmira-cli a photograph, as docs/batch.md shows.
# Usage: bench/batch.sh BUILD_FOLDER   (needs cjpeg, hyperfine and parallel)
set -euo pipefail
build=${1:-build/release}
cli=$(realpath "$build/src/kelmira-cli")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

"$build/tools/kelmira-make-scene" "$work/scene.bmp" 7600x1210
"$cli" simulate "$work/scene.bmp" "$work/clean.bmp" --size 4032x3024 > /dev/null
"$build/bench/kelmira-add-grain" "$work/clean.bmp" "$work/round.bmp" 12
mkdir "$work/in"
for i in 1 2 3 4 5 6 7 8; do cjpeg -quality 95 -outfile "$work/in/photo$i.jpg" "$work/round.bmp"; done

cd "$work"
hyperfine --style basic --warmup 1 --runs 5 --export-json times.json \
  "$cli unwarp in/*.jpg --out-dir jobs1 --jobs 1" \
  "$cli unwarp in/*.jpg --out-dir jobs2 --jobs 2" \
  "parallel -j2 $cli unwarp {} parallel/{/.}_pano.jpg ::: in/*.jpg" \
  --prepare "mkdir -p parallel" > /dev/null
# Every way writes the same panoramas.
for photo in in/*.jpg; do
  name=$(basename "$photo" .jpg)_pano.jpg
  cmp -s "jobs1/$name" "jobs2/$name" && cmp -s "jobs1/$name" "parallel/$name" || { echo "$name differs" >&2; exit 1; }
done
python3 - <<'PY'
import json
runs = json.load(open("times.json"))["results"]
one = runs[0]["mean"]
for run, label in zip(runs, ["--jobs 1", "--jobs 2", "GNU parallel -j2"]):
    print(f"8 photographs, {label:17s} {run['mean']:.2f} s  ({8 / run['mean']:.1f} photographs a second, "
          f"{one / run['mean']:.2f} x --jobs 1)")
print("(target for --jobs 2: 1.7 x --jobs 1 at least)")
PY

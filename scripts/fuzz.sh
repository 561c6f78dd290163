#!/usr/bin/env bash
# Builds the libFuzzer targets with clang, AddressSanitizer and UBSan in build/fuzz and
# runs each one for SECONDS seconds (default 60), starting from its seeds in fuzz/seeds.
# Fails when any target finds something; the input that did it is kept in
# build/fuzz/findings/TARGET/ and the target's output in build/fuzz/logs/TARGET.log.
#   bash scripts/fuzz.sh [SECONDS]
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-60}
build=build/fuzz
targets=(bmp jpeg tiff png pcx tga any mirror mov qtvr metadata)

mkdir -p "$build"
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DKELMIRA_BUILD_FUZZ=ON \
  -DKELMIRA_BUILD_TESTS=OFF -DKELMIRA_BUILD_BENCH=OFF -DKELMIRA_BUILD_GUI=OFF \
  > "$build/configure.log" 2>&1 || { cat "$build/configure.log"; exit 1; }
ninja -C "$build" fuzz_targets

# Any allocation over 32 MB fails as if memory had run out: the decoders take that path
# instead of clearing and sanitizing huge blocks, which would cut the runs per second by
# twenty. The size limits themselves are covered by the tests.
export ASAN_OPTIONS="max_allocation_size_mb=32:allocator_may_return_null=1${ASAN_OPTIONS:+:$ASAN_OPTIONS}"

found=()
printf '%-6s %-8s %14s\n' target result executions
for target in "${targets[@]}"; do
  corpus="$build/corpus/$target"
  findings="$build/findings/$target"
  log="$build/logs/$target.log"
  mkdir -p "$corpus" "$findings" "$(dirname "$log")"
  if [ "$target" = any ]; then
    seeds=(fuzz/seeds/*)
  elif [ "$target" = qtvr ]; then
    seeds=(fuzz/seeds/mov)
  else
    seeds=("fuzz/seeds/$target")
  fi
  # New inputs go to the first folder, so the seeds in the repository stay as they are.
  if "$build/fuzz/fuzz_$target" -max_total_time="$seconds" -timeout=20 \
       -print_final_stats=1 -artifact_prefix="$findings/" "$corpus" "${seeds[@]}" > "$log" 2>&1; then
    result=clean
  else
    result=FOUND
    found+=("$target")
  fi
  executions=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
  printf '%-6s %-8s %14s\n' "$target" "$result" "${executions:-?}"
done

for target in "${found[@]}"; do
  echo "== $target: $build/logs/$target.log"
  grep -E 'ERROR|SUMMARY|Test unit written|==[0-9]+==' "$build/logs/$target.log" | head -n 20 || true
done
echo "Each target ran for $seconds s."
echo "fuzz: $((${#targets[@]} - ${#found[@]})) passed, ${#found[@]} failed"
[ ${#found[@]} -eq 0 ]

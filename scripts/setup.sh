#!/usr/bin/env bash
# Sets Kelmira up on a Debian 12 machine: installs the Debian packages it needs (only
# those missing), builds it, then runs what was asked for.
#   run    start Kelmira's window; without a display, unwarp the bundled sample
#          photograph from the command line and say where the panorama went
#   test   run the whole test suite, then again under AddressSanitizer and UBSan
#   bench  run the benchmarks (installs the comparison tools first)
#   package  build the Debian package kelmira_VERSION_amd64.deb into out/
#   fuzz [SECONDS]  build the libFuzzer targets with clang and run each for SECONDS
#          seconds (default 60); fails on any finding (scripts/fuzz.sh)
set -euo pipefail
cd "$(dirname "$0")/.."

mode=${1:-run}
packages=(cmake ninja-build g++ pkg-config libjpeg62-turbo-dev libtiff-dev libpng-dev zlib1g-dev
          libcli11-dev libgtest-dev libgmock-dev libbenchmark-dev qt6-base-dev qt6-qpa-plugins fonts-dejavu-core fonts-liberation2
          libavcodec-dev libavformat-dev libavutil-dev libswscale-dev ffmpeg libquicktime-dev libhwy-dev libexiv2-dev)
if [ "$mode" = bench ]; then
  packages+=(libjpeg-turbo-progs libopencv-dev hyperfine parallel)
fi
if [ "$mode" = test ]; then
  # Readers no one here wrote: exiftool for the results' metadata (it and ImageMagick also
  # tag the tests' photographs and embed their colour profiles), Chromium (with
  # its software WebGL) for the web pages; the desktop's own validators, man and bash
  # completion for the installed files, and dpkg-shlibdeps for the package; the locale
  # sources from which the tests make a German session (decimal commas); libjpeg's djpeg
  # for the JPEGs an interrupted batch leaves; a vfat image (mkfs.vfat, mounted through FUSE
  # where the kernel has no vfat) for the batches on a file system that ignores case; OpenCV's
  # omnidir module, which projects rays through the calibrated mirrors' unified model.
  packages+=(libimage-exiftool-perl imagemagick chromium desktop-file-utils appstream man-db bash-completion dpkg-dev file locales
             libjpeg-turbo-progs dosfstools fusefat libopencv-contrib-dev)
fi
if [ "$mode" = package ]; then
  packages+=(dpkg-dev file)
fi
if [ "$mode" = fuzz ]; then
  # libFuzzer's runtime for clang 14 comes with libclang-rt-14-dev.
  packages+=(clang libclang-rt-14-dev)
fi

install_missing() {
  local missing=()
  for package in "$@"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}"
  local sudo=""
  [ "$(id -u)" -ne 0 ] && sudo=sudo
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

# The web viewer that Kelmira's web pages carry, and the browser driver of their test, from
# the npm registry at the versions web/package-lock.json pins.
install_web_viewer() {
  if ! command -v npm > /dev/null; then install_missing nodejs npm; fi
  if [ ! -f web/node_modules/pannellum/build/pannellum.js ] || [ web/package-lock.json -nt web/node_modules/.package-lock.json ]; then
    (cd web && npm ci --no-audit --no-fund --loglevel=error)
  fi
}

build() {  # build FOLDER [cmake options...]
  local folder=$1
  shift
  cmake -S . -B "$folder" -G Ninja "$@" > "$folder.configure.log" 2>&1 || { cat "$folder.configure.log"; exit 1; }
  ninja -C "$folder"
}

install_missing "${packages[@]}"
install_web_viewer
mkdir -p build
case "$mode" in
  run)
    build build/release -DCMAKE_BUILD_TYPE=Release -DKELMIRA_BUILD_TESTS=OFF -DKELMIRA_BUILD_BENCH=OFF
    if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
      echo "Starting Kelmira (open samples/mirror-sample.jpg with Open Round to try it)."
      exec build/release/bin/kelmira
    fi
    echo "No display to show Kelmira's window on: running the command-line sample job instead."
    mkdir -p out
    build/release/src/kelmira-cli unwarp samples/mirror-sample.jpg out/sample-panorama.jpg
    echo "The panorama is in $(pwd)/out/sample-panorama.jpg"
    ;;
  test)
    build build/release -DCMAKE_BUILD_TYPE=Release -DKELMIRA_BUILD_TESTS=ON -DKELMIRA_BUILD_BENCH=ON
    ctest --test-dir build/release --output-on-failure --no-tests=error -j2
    build build/sanitize -DCMAKE_BUILD_TYPE=Debug -DKELMIRA_SANITIZE=ON -DKELMIRA_BUILD_TESTS=ON -DKELMIRA_BUILD_BENCH=OFF
    ctest --test-dir build/sanitize --output-on-failure --no-tests=error -j2
    ;;
  bench)
    build build/release -DCMAKE_BUILD_TYPE=Release -DKELMIRA_BUILD_TESTS=ON -DKELMIRA_BUILD_BENCH=ON
    for program in build/release/bench/*_bench; do "$program"; done
    bash bench/end_to_end.sh build/release
    bash bench/movie_end_to_end.sh build/release
    bash bench/batch.sh build/release
    bash bench/video_bench.sh build/release
    ;;
  package)
    build build/package -DCMAKE_BUILD_TYPE=Release -DKELMIRA_BUILD_TESTS=OFF -DKELMIRA_BUILD_BENCH=OFF
    (cd build/package && cpack -G DEB -B ../../out > cpack.log) || { cat build/package/cpack.log; exit 1; }
    echo "The package is $(ls "$(pwd)"/out/kelmira_*.deb); install it with: sudo apt-get install ./out/$(cd out && ls kelmira_*.deb)"
    ;;
  fuzz)
    bash scripts/fuzz.sh "${2:-60}"
    ;;
  *)
    echo "usage: $0 run|test|bench|package|fuzz [SECONDS]" >&2
    exit 2
    ;;
esac

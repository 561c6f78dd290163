// A calibrated mirror's panorama from a 12-megapixel round photograph (4032 x 3024): the
// source map, built once per unwarp, and the remap through it; beside the classic unwarp
// of the same photograph and OpenCV's remap through the same map when OpenCV is there.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>
#include <string>

#include "image/pixel_block.h"
#include "mirror/calibrated_panorama.h"
#include "mirror/ocam_model.h"
#include "mirror/round_remap.h"
#include "mirror/unified_model.h"
#include "mirror/mirror_test_support.h"  // the test rigs
#include "unwarp/unwarp_ring.h"

#ifdef KELMIRA_HAVE_OPENCV
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#endif

namespace {

constexpr int kWidth = 4032;
constexpr int kHeight = 3024;
constexpr double kScale = 6.3;  // the test rigs were calibrated at 640 x 480

kelmira::PixelBlock& sourcePixels() {
  static kelmira::PixelBlock block = [] {
    kelmira::PixelBlock p = kelmira::allocatePixelBlock(kWidth, kHeight);
    std::uint32_t state = 7;
    for (std::size_t i = 0; i < 3u * kWidth * kHeight; ++i) {
      p[i] = static_cast<std::uint8_t>((state = state * 1664525u + 1013904223u) >> 24);
    }
    return p;
  }();
  return block;
}

std::unique_ptr<kelmira::MirrorModel> model(bool ocam) {
  std::string why;
  if (ocam) {
    const kelmira::test::OcamRig r = kelmira::test::ocamRig();
    kelmira::OcamCalibration k{r.pol, r.invpol, r.xc, r.yc, r.c, r.d, r.e, kelmira::ImageSize{r.width, r.height}};
    return kelmira::OcamModel::make(k, why)->scaledForPhoto(kScale);
  }
  const kelmira::test::UnifiedRig r = kelmira::test::omnidirRig();
  kelmira::UnifiedCalibration k{r.fx, r.fy, r.skew, r.cx, r.cy, r.xi, r.k1, r.k2, r.p1, r.p2,
                                kelmira::ImageSize{r.width, r.height}};
  return kelmira::UnifiedModel::make(kelmira::MirrorKind::OpenCvOmnidir, k, why)->scaledForPhoto(kScale);
}

kelmira::CalibratedPanorama plan(bool ocam) {
  std::string why;
  return *kelmira::CalibratedPanorama::plan(*model(ocam), kelmira::Rig::CameraBelow, {kWidth, kHeight}, {}, why);
}

void BM_SourceMap(benchmark::State& state, bool ocam) {
  const kelmira::CalibratedPanorama p = plan(ocam);
  kelmira::SourceMap map;
  for (auto _ : state) {
    p.buildSourceMap(map);
    benchmark::DoNotOptimize(map.xRow(0));
  }
  state.SetLabel(std::to_string(p.width()) + " x " + std::to_string(p.height()));
}
BENCHMARK_CAPTURE(BM_SourceMap, ocamcalib, true)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_SourceMap, omnidir, false)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_RemapRound(benchmark::State& state) {
  const kelmira::CalibratedPanorama p = plan(false);
  kelmira::SourceMap map;
  p.buildSourceMap(map);
  kelmira::PixelBlock out = kelmira::allocatePixelBlock(p.width(), p.height());
  const kelmira::SourceView source{sourcePixels().get(), kWidth, kHeight, 3, 3u * kWidth};
  const kelmira::ImageView target{out.get(), map.width(), map.height(), 3, 3u * map.width()};
  for (auto _ : state) {
    kelmira::remapRound(source, map, target);
    benchmark::DoNotOptimize(out.get());
  }
  state.SetLabel(std::to_string(p.width()) + " x " + std::to_string(p.height()));
}
BENCHMARK(BM_RemapRound)->Unit(benchmark::kMillisecond)->UseRealTime();

// The classic unwarp of the same photograph into a panorama of the same size.
void BM_ClassicUnwarp(benchmark::State& state) {
  const kelmira::CalibratedPanorama p = plan(false);
  kelmira::PixelBlock out = kelmira::allocatePixelBlock(p.width(), p.height());
  const kelmira::SourceView source{sourcePixels().get(), kWidth, kHeight, 3, 3u * kWidth};
  const kelmira::ImageView target{out.get(), static_cast<std::uint32_t>(p.width()),
                                  static_cast<std::uint32_t>(p.height()), 3, 3u * p.width()};
  for (auto _ : state) {
    kelmira::unwarpRing(source, target, kWidth / 2.0, kHeight / 2.0);
    benchmark::DoNotOptimize(out.get());
  }
}
BENCHMARK(BM_ClassicUnwarp)->Unit(benchmark::kMillisecond)->UseRealTime();

#ifdef KELMIRA_HAVE_OPENCV
void BM_OpenCvRemap(benchmark::State& state) {
  const kelmira::CalibratedPanorama p = plan(false);
  kelmira::SourceMap map;
  p.buildSourceMap(map);
  const cv::Mat source(kHeight, kWidth, CV_8UC3, sourcePixels().get());
  const cv::Mat mapX(static_cast<int>(map.height()), static_cast<int>(map.width()), CV_32F, map.xRow(0));
  const cv::Mat mapY(static_cast<int>(map.height()), static_cast<int>(map.width()), CV_32F, map.yRow(0));
  cv::Mat out;
  for (auto _ : state) {
    cv::remap(source, out, mapX, mapY, cv::INTER_LINEAR, cv::BORDER_CONSTANT);
    benchmark::DoNotOptimize(out.data);
  }
}
BENCHMARK(BM_OpenCvRemap)->Unit(benchmark::kMillisecond)->UseRealTime();
#endif

}  // namespace

BENCHMARK_MAIN();

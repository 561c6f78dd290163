// Unwarp of a 12-megapixel round photograph (4032 x 3024, crop radius 1209) into its
// 4557 x 725 panorama on one thread and on two, with each vector target this processor runs
// (the widest is what the program uses), beside OpenCV's remap doing the same mapping on one
// thread when OpenCV is there.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "base/simd_target.h"
#include "image/pixel_block.h"
#include "unwarp/mirror_profile_table.h"
#include "unwarp/unwarp_ring.h"

#ifdef KELMIRA_HAVE_OPENCV
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#endif

namespace {

constexpr int kSourceWidth = 4032;
constexpr int kSourceHeight = 3024;
constexpr int kPanoramaWidth = 4557;  // trunc(0.6 x 1209 x 2 pi)
constexpr int kPanoramaHeight = 725;  // trunc(0.6 x 1209)
constexpr double kCentreX = 2016.5;
constexpr double kCentreY = 1511.25;

// In pixel blocks, as the program holds its pictures (on huge pages where the kernel has them).
struct Picture {
  kelmira::PixelBlock block;
  std::uint8_t* data() const { return block.get(); }
};

Picture& sourcePixels() {
  static Picture pixels = [] {
    Picture p{kelmira::allocatePixelBlock(kSourceWidth, kSourceHeight)};
    std::uint32_t state = 7;
    for (std::size_t i = 0; i < 3u * kSourceWidth * kSourceHeight; ++i) {
      p.block[i] = static_cast<std::uint8_t>((state = state * 1664525u + 1013904223u) >> 24);
    }
    return p;
  }();
  return pixels;
}

Picture panoramaPixels() { return {kelmira::allocatePixelBlock(kPanoramaWidth, kPanoramaHeight)}; }

// KELMIRA_THREADS decides how many threads the unwarp takes.
void BM_UnwarpRing(benchmark::State& state, const std::string& simd, const char* threads) {
  if (!kelmira::forceSimdTarget(simd)) {
    state.SkipWithError("this processor cannot run the target");
    return;
  }
  setenv("KELMIRA_THREADS", threads, 1);
  auto& src = sourcePixels();
  Picture out = panoramaPixels();
  const kelmira::ImageView source{src.data(), kSourceWidth, kSourceHeight, 3, 3u * kSourceWidth};
  const kelmira::ImageView target{out.data(), kPanoramaWidth, kPanoramaHeight, 3, 3u * kPanoramaWidth};
  for (auto _ : state) {
    kelmira::unwarpRing(source, target, kCentreX, kCentreY);
    benchmark::DoNotOptimize(out.data());
  }
  unsetenv("KELMIRA_THREADS");
  kelmira::forceSimdTarget("");
}

// The arithmetic written out per pixel, cos and sin included: the starting point.
void BM_UnwarpPlainTranscription(benchmark::State& state) {
  auto& src = sourcePixels();
  Picture out = panoramaPixels();
  for (auto _ : state) {
    const auto table = kelmira::buildMirrorProfileTable();
    const double s = (double)kSourceHeight * 0.117096018735363;
    const long size = 3L * kSourceWidth * kSourceHeight;
    const long S = 3L * kSourceWidth;
    std::uint8_t* o = out.data();
    const std::uint8_t* srcBytes = src.data();
    for (int i = 0; i < kPanoramaHeight; ++i) {
      const double t = kelmira::radiusForRow(i, kPanoramaHeight, table);
      for (int j = 0; j < kPanoramaWidth; ++j) {
        const double theta = (j * 6.283185307179586) / kPanoramaWidth;
        const double X = t * std::cos(theta) * s + kCentreX;
        const double Y = t * std::sin(theta) * s + kCentreY;
        for (int k = 0; k < 3; ++k) {
          const long a = (long)(std::floor(X) * 3 + std::floor(Y) * S + k);
          if (a < 0 || a + S + 3 >= size) {
            *o++ = 0;
            continue;
          }
          const int A = srcBytes[a], B = srcBytes[a + 3], C = srcBytes[a + S], D = srcBytes[a + S + 3];
          const double fx = X - std::trunc(X), fy = Y - std::trunc(Y);
          *o++ = (std::uint8_t)(int)(A + (B - A) * fx + (C - A) * fy + (A - B - C + D) * fx * fy);
        }
      }
    }
    benchmark::DoNotOptimize(out.data());
  }
}
BENCHMARK(BM_UnwarpPlainTranscription)->Unit(benchmark::kMillisecond)->UseRealTime();

#ifdef KELMIRA_HAVE_OPENCV
void makeRemapMaps(cv::Mat& mapX, cv::Mat& mapY) {
  const auto table = kelmira::buildMirrorProfileTable();
  const double s = (double)kSourceHeight * 0.117096018735363;
  std::vector<double> cosines(kPanoramaWidth), sines(kPanoramaWidth);
  for (int j = 0; j < kPanoramaWidth; ++j) {
    const double theta = (j * 6.283185307179586) / kPanoramaWidth;
    cosines[j] = std::cos(theta);
    sines[j] = std::sin(theta);
  }
  mapX.create(kPanoramaHeight, kPanoramaWidth, CV_32FC1);
  mapY.create(kPanoramaHeight, kPanoramaWidth, CV_32FC1);
  for (int i = 0; i < kPanoramaHeight; ++i) {
    const double t = kelmira::radiusForRow(i, kPanoramaHeight, table);
    float* mx = mapX.ptr<float>(i);
    float* my = mapY.ptr<float>(i);
    for (int j = 0; j < kPanoramaWidth; ++j) {
      mx[j] = (float)(t * cosines[j] * s + kCentreX);
      my[j] = (float)(t * sines[j] * s + kCentreY);
    }
  }
}

void BM_OpenCvRemapMapOnly(benchmark::State& state) {
  cv::Mat mapX, mapY;
  for (auto _ : state) {
    makeRemapMaps(mapX, mapY);
    benchmark::DoNotOptimize(mapX.data);
  }
}
BENCHMARK(BM_OpenCvRemapMapOnly)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_OpenCvRemapOneThread(benchmark::State& state) {
  cv::setNumThreads(0);
  cv::Mat source(kSourceHeight, kSourceWidth, CV_8UC3, sourcePixels().data());
  cv::Mat mapX, mapY, out;
  makeRemapMaps(mapX, mapY);
  for (auto _ : state) {
    cv::remap(source, out, mapX, mapY, cv::INTER_LINEAR, cv::BORDER_CONSTANT);
    benchmark::DoNotOptimize(out.data);
  }
}
BENCHMARK(BM_OpenCvRemapOneThread)->Unit(benchmark::kMillisecond)->UseRealTime();
#endif

}  // namespace

int main(int argc, char** argv) {
  // Widest target first; "ProcessCPU" counts the helper thread's time too.
  for (const std::string& target : kelmira::simdTargetsHere()) {
    for (const char* threads : {"1", "2"}) {
      benchmark::RegisterBenchmark(("BM_UnwarpRing/" + target + "/threads:" + threads).c_str(), BM_UnwarpRing, target,
                                   threads)
          ->Unit(benchmark::kMillisecond)
          ->UseRealTime()
          ->MeasureProcessCPUTime();
    }
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}

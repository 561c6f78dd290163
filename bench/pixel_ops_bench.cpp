// Pixel operations on a picture the size of a typical unwarped panorama.
#include <benchmark/benchmark.h>

#include <array>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "base/simd_target.h"
#include "image/geometry_ops.h"
#include "image/neighbourhood_filter.h"
#include "image/octree_palette.h"
#include "image/resample.h"
#include "image/tone_curve.h"

namespace {

constexpr int kWidth = 4557;
constexpr int kHeight = 725;

// Smooth gradients with some noise on top: many distinct colours, as in a photograph.
std::vector<std::uint8_t> panoramaPixels() {
  std::vector<std::uint8_t> pixels(static_cast<std::size_t>(3) * kWidth * kHeight);
  std::uint32_t state = 12345;
  std::size_t i = 0;
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) {
      state = state * 1103515245u + 12345u;
      const int noise = static_cast<int>((state >> 16) & 31) - 16;
      const int base[3] = {x * 255 / kWidth, y * 255 / kHeight, (x + y) % 256};
      for (int c = 0; c < 3; ++c) {
        const int v = base[c] + noise;
        pixels[i++] = static_cast<std::uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v));
      }
    }
  }
  return pixels;
}

const std::vector<std::uint8_t>& picture() {
  static const std::vector<std::uint8_t> pixels = panoramaPixels();
  return pixels;
}

void resampleTo(benchmark::State& state, int width, int height) {
  const auto& src = picture();
  std::vector<std::uint8_t> dst(static_cast<std::size_t>(3) * width * height);
  for (auto _ : state) {
    benchmark::DoNotOptimize(kelmira::resample(src.data(), kWidth, kHeight, dst.data(), width, height));
    benchmark::ClobberMemory();
  }
}

void BM_ResampleHalf(benchmark::State& state) { resampleTo(state, kWidth / 2, kHeight / 2); }
void BM_ResampleUp1_5(benchmark::State& state) { resampleTo(state, kWidth * 3 / 2, kHeight * 3 / 2); }

// The sharpen and the tone table run with each vector target this processor has.
void BM_Sharpen(benchmark::State& state, const std::string& simd) {
  if (!kelmira::forceSimdTarget(simd)) return state.SkipWithError("this processor cannot run the target");
  const auto& src = picture();
  std::vector<std::uint8_t> dst(src.size());
  for (auto _ : state) {
    benchmark::DoNotOptimize(
        kelmira::sharpen(src.data(), dst.data(), kWidth, kHeight, 50, kelmira::FilterKind::Sharpen));
    benchmark::ClobberMemory();
  }
  kelmira::forceSimdTarget("");
}

void BM_Median(benchmark::State& state) {
  const auto& src = picture();
  std::vector<std::uint8_t> dst(src.size());
  for (auto _ : state) {
    benchmark::DoNotOptimize(
        kelmira::sharpen(src.data(), dst.data(), kWidth, kHeight, 50, kelmira::FilterKind::Median));
    benchmark::ClobberMemory();
  }
}

void BM_AdjustBrightnessContrast(benchmark::State& state, const std::string& simd) {
  if (!kelmira::forceSimdTarget(simd)) return state.SkipWithError("this processor cannot run the target");
  std::vector<std::uint8_t> pixels = picture();
  for (auto _ : state) {
    benchmark::DoNotOptimize(kelmira::adjustBrightnessContrast(pixels.data(), kWidth, kHeight, 0.2, 0.3));
    benchmark::ClobberMemory();
  }
  kelmira::forceSimdTarget("");
}

void BM_RotateQuarter(benchmark::State& state) {
  std::vector<std::uint8_t> pixels = picture();
  int width = kWidth;
  int height = kHeight;
  for (auto _ : state) {
    benchmark::DoNotOptimize(kelmira::rotate(pixels.data(), width, height, 2));
    std::swap(width, height);
    benchmark::ClobberMemory();
  }
}

void BM_ReducePalette(benchmark::State& state) {
  const auto& src = picture();
  std::array<std::uint8_t, 1024> table{};
  for (auto _ : state) {
    benchmark::DoNotOptimize(kelmira::reducePalette(src.data(), kWidth, kHeight, 256, table));
    benchmark::ClobberMemory();
  }
}

}  // namespace

BENCHMARK(BM_ResampleHalf)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ResampleUp1_5)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Median)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RotateQuarter)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReducePalette)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
  for (const std::string& target : kelmira::simdTargetsHere()) {
    benchmark::RegisterBenchmark(("BM_Sharpen/" + target).c_str(), BM_Sharpen, target)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark(("BM_AdjustBrightnessContrast/" + target).c_str(), BM_AdjustBrightnessContrast, target)
        ->Unit(benchmark::kMillisecond);
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}

// The look-around view: one frame of 800 x 450 of a 4557 x 725 panorama, on the calling
// thread alone, as the window renders it while the view turns.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "lookaround/look_renderer.h"
#include "unwarp/row_elevations.h"

namespace {

constexpr int kPanoramaWidth = 4557;
constexpr int kPanoramaHeight = 725;
constexpr int kViewWidth = 800;
constexpr int kViewHeight = 450;

// Gradients with noise on top, as in a photograph: neighbouring pixels differ.
const std::vector<std::uint8_t>& panoramaPixels() {
  static const std::vector<std::uint8_t> pixels = [] {
    std::vector<std::uint8_t> made(static_cast<std::size_t>(3) * kPanoramaWidth * kPanoramaHeight);
    std::uint32_t state = 12345;
    std::size_t i = 0;
    for (int y = 0; y < kPanoramaHeight; ++y) {
      for (int x = 0; x < kPanoramaWidth; ++x) {
        state = state * 1103515245u + 12345u;
        const int noise = static_cast<int>((state >> 16) & 31);
        made[i++] = static_cast<std::uint8_t>(x * 200 / kPanoramaWidth + noise);
        made[i++] = static_cast<std::uint8_t>(y * 200 / kPanoramaHeight + noise);
        made[i++] = static_cast<std::uint8_t>((x + y) % 224 + noise);
      }
    }
    return made;
  }();
  return pixels;
}

// Frames at a run of pans, each camera limited as the window limits it.
void renderFrames(benchmark::State& state, const kelmira::LookSurface& surface, double tilt, double fov) {
  kelmira::LookPanorama panorama{panoramaPixels().data(), kPanoramaWidth, kPanoramaHeight, 3 * kPanoramaWidth, surface};
  std::vector<std::uint8_t> view(static_cast<std::size_t>(3) * kViewWidth * kViewHeight);
  kelmira::LookRenderer renderer;
  double pan = 0.0;
  for (auto _ : state) {
    const kelmira::LookCamera camera = kelmira::LookCamera{pan, tilt, fov}.limited(surface, kViewWidth, kViewHeight);
    renderer.render(panorama, camera, view.data(), kViewWidth, kViewHeight, 3 * kViewWidth);
    benchmark::DoNotOptimize(view.data());
    benchmark::ClobberMemory();
    pan += 7.0;
  }
}

// The described mirror's strip as its movie shows it: the square cylinder, about 57 degrees tall.
void BM_SquareCylinderLevel(benchmark::State& state) {
  renderFrames(state, kelmira::LookSurface::squareCylinder(kPanoramaWidth, kPanoramaHeight), 0.0, 60.0);
}
void BM_SquareCylinderTilted(benchmark::State& state) {
  renderFrames(state, kelmira::LookSurface::squareCylinder(kPanoramaWidth, kPanoramaHeight), 12.0, 45.0);
}
// A calibrated mirror's band of the sphere, +20 to -60 degrees.
void BM_BandTilted(benchmark::State& state) {
  renderFrames(state, kelmira::LookSurface::band(20.0, -60.0, kPanoramaHeight), -20.0, 70.0);
}

}  // namespace

BENCHMARK(BM_SquareCylinderLevel)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SquareCylinderTilted)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BandTilted)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();

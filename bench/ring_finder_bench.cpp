// Finding the ring in a 12-megapixel round photograph (4032 x 3024, JPEG-grained, with a
// housing and vignetting), and its two halves: the coarse picture alone, and all of it.
#include <benchmark/benchmark.h>

#include <filesystem>

#include "image/dib_image.h"
#include "support/synthetic_ring.h"
#include "unwarp/ring_finder.h"

namespace {

const kelmira::DibImage& photograph() {
  static kelmira::DibImage photo;
  if (!photo.hasPixels()) {
    kelmira::test::SyntheticRing truth;
    truth.width = 4032;
    truth.height = 3024;
    truth.centreX = 2040.5;
    truth.centreY = 1490.25;
    truth.radius = 1480;
    truth.seed = 5;
    kelmira::test::makeSyntheticRingPhoto(truth, photo, std::filesystem::temp_directory_path().string());
  }
  return photo;
}

void BM_FindRing12Megapixels(benchmark::State& state) {
  const kelmira::DibImage& photo = photograph();
  const kelmira::SourceView view{photo.pixels(), std::uint32_t(photo.width()), std::uint32_t(photo.height()), 3,
                                 3u * std::size_t(photo.width())};
  for (auto _ : state) {
    const std::optional<kelmira::FoundRing> ring = kelmira::findRing(view);
    if (!ring || std::abs(ring->radius - 1480) > 15) state.SkipWithError("the ring was not found");
    benchmark::DoNotOptimize(ring);
  }
}
BENCHMARK(BM_FindRing12Megapixels)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();

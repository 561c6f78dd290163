// Finding the ring in a 12-megapixel round photograph (4032 x 3024, JPEG-grained, with a
// housing and vignetting), with each vector target on one thread and on two.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "base/simd_target.h"
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

// With each vector target this processor has; KELMIRA_THREADS decides the threads.
void BM_FindRing12Megapixels(benchmark::State& state, const std::string& simd, const char* threads) {
  if (!kelmira::forceSimdTarget(simd)) return state.SkipWithError("this processor cannot run the target");
  setenv("KELMIRA_THREADS", threads, 1);
  const kelmira::DibImage& photo = photograph();
  const kelmira::SourceView view{photo.pixels(), std::uint32_t(photo.width()), std::uint32_t(photo.height()), 3,
                                 3u * std::size_t(photo.width())};
  for (auto _ : state) {
    const std::optional<kelmira::FoundRing> ring = kelmira::findRing(view);
    if (!ring || std::abs(ring->radius - 1480) > 15) state.SkipWithError("the ring was not found");
    benchmark::DoNotOptimize(ring);
  }
  unsetenv("KELMIRA_THREADS");
  kelmira::forceSimdTarget("");
}

}  // namespace

int main(int argc, char** argv) {
  for (const std::string& target : kelmira::simdTargetsHere()) {
    for (const char* threads : {"1", "2"}) {
      benchmark::RegisterBenchmark(("BM_FindRing12Megapixels/" + target + "/threads:" + threads).c_str(),
                                   BM_FindRing12Megapixels, target, threads)
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

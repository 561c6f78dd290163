// The parts of saving a QuickTime VR movie from a 4512 x 724 panorama at normal quality:
// preparing the movie image, compressing the 24 tiles, and the VR containers with the
// flattening (the whole build less the tiles). The whole save is measured as well.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <filesystem>
#include <string>

#include "bench_pictures.h"
#include "image/dib_image.h"
#include "movie/panorama_movie_export.h"
#include "movie/qtvr_movie_writer.h"
#include "movie/quicktime/graphics_importer.h"
#include "movie/quicktime/movie_file.h"
#include "movie/quicktime/movie_runtime.h"

namespace {

constexpr int kWidth = 4512;
constexpr int kHeight = 724;

const kelmira::DibImage& panorama() {
  static kelmira::DibImage image;
  if (!image.hasPixels()) kelmira::bench::paintNoisyPanorama(image, kWidth, kHeight, 40, 12345);
  return image;
}

std::string benchFile(const std::string& name) {
  return (std::filesystem::temp_directory_path() / ("kelmira-movie-bench-" + name)).string();
}

// The turned movie image, made once for the tile and build benchmarks.
const std::string& movieImage() {
  static const std::string path = [] {
    kelmira::DibImage copy;
    copy.copyFrom(panorama());
    const std::string file = benchFile("image.bmp");
    kelmira::prepareMovieImage(copy, file);
    return file;
  }();
  return path;
}

kelmira::MovieSettings settingsFor(kelmira::OSType codec) {
  kelmira::MovieSettings settings;
  settings.codecType = codec;
  return settings;
}

void BM_PrepareMovieImage(benchmark::State& state) {
  kelmira::DibImage copy;
  const std::string file = benchFile("prepare.bmp");
  for (auto _ : state) {
    state.PauseTiming();
    copy.copyFrom(panorama());
    state.ResumeTiming();
    if (kelmira::prepareMovieImage(copy, file).code != 0) state.SkipWithError("prepareMovieImage failed");
  }
  std::filesystem::remove(file);
}

void BM_TwentyFourTiles(benchmark::State& state, kelmira::OSType codec) {
  kelmira::initializeQtml();
  const std::string tiles = benchFile("tiles.til");
  for (auto _ : state) {
    kelmira::GraphicsImportComponent importer = nullptr;
    kelmira::getGraphicsImporterForFile(movieImage(), &importer);
    const kelmira::MovieSettings settings = settingsFor(codec);
    if (kelmira::writeTileMovie(importer, tiles, settings.codecType, settings.codecQuality, 0) != kelmira::noErr) {
      state.SkipWithError("writeTileMovie failed");
    }
    kelmira::closeComponent(importer);
    state.PauseTiming();
    kelmira::deleteMovieFile(tiles);
    state.ResumeTiming();
  }
  kelmira::terminateQtml();
}

// The tiles, the VR movie and its flattening: subtract the tiles for the containers' share.
void BM_BuildQtvrMovie(benchmark::State& state, kelmira::OSType codec) {
  kelmira::initializeQtml();
  const std::string tiles = benchFile("build.til");
  const std::string movie = benchFile("build.mov");
  for (auto _ : state) {
    if (kelmira::buildQtvrMovie(movieImage(), tiles, movie, settingsFor(codec)) != kelmira::noErr) {
      state.SkipWithError("buildQtvrMovie failed");
    }
    state.PauseTiming();
    kelmira::deleteMovieFile(tiles);
    kelmira::deleteMovieFile(movie);
    state.ResumeTiming();
  }
  kelmira::terminateQtml();
}

void BM_SavePanoramaMovie(benchmark::State& state, kelmira::OSType codec) {
  kelmira::initializeQtml();
  kelmira::DibImage copy;
  const std::string movie = benchFile("save.mov");
  for (auto _ : state) {
    state.PauseTiming();
    copy.copyFrom(panorama());
    state.ResumeTiming();
    if (kelmira::savePanoramaMovie(copy, movie, settingsFor(codec)).code != 0) {
      state.SkipWithError("savePanoramaMovie failed");
    }
  }
  kelmira::deleteMovieFile(movie);
  kelmira::terminateQtml();
}

}  // namespace

BENCHMARK(BM_PrepareMovieImage)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_TwentyFourTiles, jpeg, kelmira::kJPEGCodecType)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_TwentyFourTiles, cinepak, kelmira::kCinepakCodecType)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK_CAPTURE(BM_TwentyFourTiles, sorenson, kelmira::kSorensonCodecType)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_BuildQtvrMovie, jpeg, kelmira::kJPEGCodecType)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_BuildQtvrMovie, cinepak, kelmira::kCinepakCodecType)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK_CAPTURE(BM_BuildQtvrMovie, sorenson, kelmira::kSorensonCodecType)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_SavePanoramaMovie, jpeg, kelmira::kJPEGCodecType)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_SavePanoramaMovie, cinepak, kelmira::kCinepakCodecType)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK_CAPTURE(BM_SavePanoramaMovie, sorenson, kelmira::kSorensonCodecType)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();

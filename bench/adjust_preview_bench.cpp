// One preview of the image tools on a 4557 x 725 panorama, as a slider release runs it:
// two block copies, the sharpen pass, the tone table, and the display rebuilt for a
// view the size of the main window's.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <filesystem>
#include <string>

#include "bench_pictures.h"
#include "image/dib_image.h"
#include "workspace/workspace.h"
#include "workspace/workspace_display.h"

namespace {

constexpr int kWidth = 4557;
constexpr int kHeight = 725;

std::string writePanorama() {
  kelmira::DibImage panorama;
  kelmira::bench::paintNoisyPanorama(panorama, kWidth, kHeight, 50, 99);
  const std::string path = (std::filesystem::temp_directory_path() / "kelmira-adjust-bench.bmp").string();
  panorama.saveToFile(path, kelmira::FileTypeBmp);
  return path;
}

void BM_AdjustPreview(benchmark::State& state) {
  const std::string path = writePanorama();
  kelmira::Workspace workspace(nullptr, nullptr, nullptr);
  kelmira::WorkspaceDisplay display(workspace, nullptr, nullptr);  // each preview rebuilds the display
  display.setClientSize(638, 155);
  using kelmira::WorkspaceResult;
  if (workspace.openPanorama(path) != WorkspaceResult::Done ||
      workspace.snapshotAdjustBase() != WorkspaceResult::Done) {
    state.SkipWithError("no panorama");
    return;
  }
  int quality = 1;
  for (auto _ : state) {
    if (workspace.applyAdjustments(quality, 0.2, 0.1) != WorkspaceResult::Done) {
      state.SkipWithError("applyAdjustments failed");
    }
    quality = quality % 100 + 7;
  }
  std::filesystem::remove(path);
}

}  // namespace

BENCHMARK(BM_AdjustPreview)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();

// The window with a 12-megapixel round photograph (4032 x 3024, a grainy quality-95 JPEG, or
// the photograph KELMIRA_BENCH_PHOTO names):
// Open Round until the photograph is painted, and Make Pano until the panorama is, in the
// real window on Qt's offscreen platform; beside them the parts of each path without Qt:
// reading the photograph, finding its ring, scaling it for the view, the unwarp, and
// scaling the panorama for the view.
#include <benchmark/benchmark.h>

#include <QApplication>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "app/app_fakes.h"
#include "app/control_ids.h"
#include "app/display_mode.h"
#include "app/image_button.h"
#include "app/main_dialog.h"
#include "image/dib_image.h"
#include "settings/settings_store.h"
#include "support/workspace_fakes.h"
#include "ui/workspace_view.h"
#include "unwarp/ring_simulator.h"
#include "workspace/workspace.h"
#include "workspace/workspace_display.h"

namespace {

using namespace kelmira;

const std::filesystem::path& benchFolder() {
  static const std::filesystem::path folder = [] {
    std::filesystem::path path = std::filesystem::temp_directory_path() / "kelmira-window-bench";
    std::filesystem::create_directories(path);
    return path;
  }();
  return folder;
}

// A 12-megapixel photograph of a mirror's ring over a striped, grainy scene, or the
// photograph KELMIRA_BENCH_PHOTO names.
const std::string& photographPath() {
  static const std::string path = [] {
    if (const char* given = std::getenv("KELMIRA_BENCH_PHOTO"); given != nullptr && *given != '\0') {
      return std::string(given);
    }
    DibImage scene;
    scene.allocate(7600, 1210);
    std::uint8_t* s = scene.beginAccess();
    std::uint32_t seed = 5;
    for (int y = 0; y < 1210; ++y)
      for (int x = 0; x < 7600; ++x, s += 3) {
        seed = seed * 1664525u + 1013904223u;
        const int grain = static_cast<int>(seed >> 28) - 8;
        s[0] = static_cast<std::uint8_t>(std::clamp((x / 40) % 2 ? 200 + grain : 60 + grain, 0, 255));
        s[1] = static_cast<std::uint8_t>(std::clamp(y * 255 / 1210 + grain, 0, 255));
        s[2] = static_cast<std::uint8_t>(std::clamp(x * 255 / 7600 + grain, 0, 255));
      }
    scene.endAccess();
    DibImage round;
    round.allocate(4032, 3024);
    const SourceView from{scene.pixels(), 7600, 1210, 3, 3u * 7600};
    const ImageView to{round.beginAccess(), 4032, 3024, 3, 3u * 4032};
    simulateRing(from, to, 2016, 1512);
    // A camera's grain, which the simulation has smoothed away.
    std::uint8_t* r = round.beginAccess();
    for (std::size_t i = 0; i < std::size_t{3} * 4032 * 3024; ++i) {
      seed = seed * 1664525u + 1013904223u;
      r[i] = static_cast<std::uint8_t>(std::clamp(r[i] + static_cast<int>((seed >> 16) % 25) - 12, 0, 255));
    }
    round.endAccess();
    round.endAccess();
    const std::string file = (benchFolder() / "round.jpg").string();
    round.saveAsJpeg(file, 95, "");
    return file;
  }();
  return path;
}

// The real window with scripted file dialogs; prompts answer yes.
class Window {
 public:
  Window() : settings_((benchFolder() / "kelmira.conf").string()) {
    dialog_ = std::make_unique<MainDialog>(MainDialogServices{&prompts_, &files_, &shell_, &settings_, false});
    dialog_->show();
    QApplication::processEvents();
  }
  // Clicks a control and waits until the view has painted what it shows.
  void click(int control) {
    dialog_->button(control)->click();
    dialog_->workspaceView().repaint();
  }
  void openRound() {
    files_.answers << QString::fromStdString(photographPath());
    click(control::OpenRound);
  }
  MainDialog& dialog() { return *dialog_; }

 private:
  test::FakePrompts prompts_;
  test::ScriptedFileDialogs files_;
  test::RecordingShell shell_;
  SettingsStore settings_;
  std::unique_ptr<MainDialog> dialog_;
};

void BM_WindowOpenRound(benchmark::State& state) {
  photographPath();
  Window window;
  for (auto _ : state) {
    window.openRound();
    if (window.dialog().displayMode() != DisplayMode::Round) state.SkipWithError("no round photograph");
    state.PauseTiming();
    window.click(control::NewRestart);
    state.ResumeTiming();
  }
}
BENCHMARK(BM_WindowOpenRound)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_WindowMakePano(benchmark::State& state) {
  Window window;
  window.openRound();
  for (auto _ : state) {
    window.click(control::MakePano);
    if (window.dialog().displayMode() != DisplayMode::Panorama) state.SkipWithError("no panorama");
    state.PauseTiming();
    window.click(control::BackToRound);
    state.ResumeTiming();
  }
}
BENCHMARK(BM_WindowMakePano)->Unit(benchmark::kMillisecond)->UseRealTime();

// The parts, without Qt.
void BM_ReadPhotograph(benchmark::State& state) {
  for (auto _ : state) {
    DibImage round;
    if (round.loadFromFile(photographPath()) != ImageError::None) state.SkipWithError("unreadable");
  }
}
BENCHMARK(BM_ReadPhotograph)->Unit(benchmark::kMillisecond)->UseRealTime();

struct OpenedJob {
  Workspace workspace{nullptr, nullptr, nullptr};
  WorkspaceDisplay display{workspace, nullptr, nullptr};
  OpenedJob() {
    display.setClientSize(476, 344);  // the view of the round-photograph layout
    workspace.openRound(photographPath());
  }
};

void BM_FindRing(benchmark::State& state) {
  OpenedJob job;
  for (auto _ : state) benchmark::DoNotOptimize(job.workspace.findRingInRound());
}
BENCHMARK(BM_FindRing)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ScaleRoundForTheView(benchmark::State& state) {
  OpenedJob job;
  for (auto _ : state) job.display.refreshDisplay(nullptr);
}
BENCHMARK(BM_ScaleRoundForTheView)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_Unwarp(benchmark::State& state) {
  OpenedJob job;
  for (auto _ : state) job.workspace.makePanorama(0, 0);
}
BENCHMARK(BM_Unwarp)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ScalePanoramaForTheView(benchmark::State& state) {
  OpenedJob job;
  job.workspace.makePanorama(0, 0);
  job.display.setClientSize(638, 155);  // the view of the panorama layout
  for (auto _ : state) job.display.refreshDisplay(nullptr);
}
BENCHMARK(BM_ScalePanoramaForTheView)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::filesystem::remove_all(benchFolder());
  return 0;
}

#include <CLI/CLI.hpp>

#include <cstdio>

#include "cli/batch_run.h"
#include "cli/cli_command.h"
#include "cli/cli_commands.h"
#include "cli/command_options.h"
#include "cli/command_support.h"
#include "cli/file_job.h"
#include "cli/printable_text.h"
#include "cli/terminal_progress.h"
#include "export/panorama_export.h"
#include "image/dib_image.h"
#include "movie/qtvr_panorama_reader.h"
#include "workspace/workspace.h"

namespace kelmira {

namespace {

std::string describeSphere(const std::string& path, const SphereFrame& frame) {
  char line[512];
  std::snprintf(line, sizeof line, ": %d x %d of a %d x %d sphere from row %d, elevations %.1f to %.1f degrees",
                frame.fullWidth, frame.height, frame.fullWidth, frame.fullHeight, frame.top,
                frame.elevationOfRow(frame.top), frame.elevationOfRow(frame.top + frame.height - 1));
  return printable(path) + line;
}

}  // namespace

FileOutcome sphereFile(const SphereOptions& options, OutputKind kind, const std::string& roundPath,
                       const std::string& outputPath, StepProgress& progress, bool unwarpPanoramas) {
  if (looksLikeQuickTimeMovie(roundPath)) {
    ExportRequest request = exportRequest(kind, outputPath, progress);
    request.quality = options.quality;
    request.title = options.title;
    return moviePanoramaFile(roundPath, request, progress);
  }
  RecordingPrompts prompts(roundPath, !unwarpPanoramas);
  Workspace workspace(&prompts, &progress, nullptr);
  workspace.setMirror(mirrorChoiceOf(options.mirror));
  FileOutcome outcome;
  std::optional<CalibratedPanorama> plan;
  if (std::optional<FileOutcome> failure = openPhotograph(workspace, prompts, options.ring, roundPath, progress)) {
    outcome = *failure;
  } else if (std::optional<FileOutcome> unplanned = planChosenMirror(workspace, plan)) {
    outcome = *unplanned;
  } else {
    ExportRequest request = exportRequest(kind, outputPath, progress);
    request.quality = options.quality;
    request.title = options.title;
    DibImage panorama;
    const ExportResult result =
        exportRound(roundSourceOf(workspace, roundPath, options.lensThread, plan ? &*plan : nullptr), request, panorama);
    outcome = result.ok() ? FileOutcome::written(describeSphere(outputPath, result.frame))
                          : FileOutcome::failed(printable(result.line()));
  }
  outcome.warnings = prompts.warnings();
  return outcome;
}

int runSphere(const SphereOptions& options) {
  if (outputKindFor(options.outputPath, OutputKind::SpherePhoto) != OutputKind::SpherePhoto) {
    return reportMisnamed(options.outputPath, OutputKind::SpherePhoto, 2);
  }
  if (!qualityInRange(options.quality)) return 2;
  if (const int refusal = mirrorOptionsRefusal(options.mirror, options.ring, options.lensThread)) return refusal;
  TerminalProgress progress(stderr);
  return reportOutcome(
      sphereFile(options, OutputKind::SpherePhoto, options.roundPath, options.outputPath, progress, true));
}

int runSphereBatch(const SphereOptions& options, const BatchOptions& batch) {
  if (!qualityInRange(options.quality)) return 2;
  if (const int refusal = mirrorOptionsRefusal(options.mirror, options.ring, options.lensThread)) return refusal;
  return runBatch(batch, OutputKind::SpherePhoto,
                  [&](const std::string& input, const std::string& output, StepProgress& progress) {
                    return sphereFile(options, OutputKind::SpherePhoto, input, output, progress, batch.force);
                  });
}

namespace {

class SphereCommand final : public CliCommand {
 public:
  explicit SphereCommand(CLI::App* command) : CliCommand(command) {
    command->add_option("FILES", paths_, "ROUND OUT.jpg (ROUND may be a QuickTime VR panorama movie), or the photographs of a batch with --out-dir")
        ->required()
        ->type_name("");
    addBatchOptions(*command, batch_, false);
    addRingOptions(*command, options_.ring);
    command->add_flag("--lens-thread", options_.lensThread, "The lens-thread attachment: mirror left to right");
    addMirrorOptions(*command, options_.mirror);
    command->add_option("--quality", options_.quality, "JPEG quality, 1 to 100 (default 92)")->type_name("N");
  }

  int run() override {
    if (!batch_.outputFolder.empty()) {
      batch_.inputs = paths_;
      return runSphereBatch(options_, batch_);
    }
    if (!singleRun(subcommand(), paths_, options_.roundPath, options_.outputPath)) return 2;
    return runSphere(options_);
  }

 private:
  SphereOptions options_;
  std::vector<std::string> paths_;
  BatchOptions batch_;
};

}  // namespace

std::unique_ptr<CliCommand> addSphereCommand(CLI::App& app) {
  return std::make_unique<SphereCommand>(app.add_subcommand(
      "sphere",
      "Make a 360-degree photo (equirectangular JPEG with Photo Sphere metadata) of a round photograph: ROUND OUT.jpg, "
      "or any number of photographs with --out-dir DIR, each written there as NAME_360.jpg"));
}

}  // namespace kelmira

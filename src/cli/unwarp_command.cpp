#include <CLI/CLI.hpp>

#include <cmath>
#include <cstdio>

#include "cli/batch_run.h"
#include "cli/cli_command.h"
#include "cli/cli_commands.h"
#include "cli/command_options.h"
#include "cli/command_support.h"
#include "cli/file_job.h"
#include "cli/movie_command.h"
#include "cli/printable_text.h"
#include "cli/terminal_progress.h"
#include "export/panorama_export.h"
#include "image/dib_image.h"
#include "workspace/workspace.h"

namespace kelmira {

namespace {

bool isWholeNumber(double value) { return std::isfinite(value) && value == std::trunc(value) && std::abs(value) < 1e9; }

std::string describePanorama(const std::string& path, const Workspace& workspace, const DibImage& panorama) {
  char line[512];
  std::snprintf(line, sizeof line, ": %d x %d panorama around (%d, %d), crop radius %d", panorama.width(),
                panorama.height(), workspace.circleCentreX(), workspace.circleCentreY(), workspace.circleRadius());
  std::string report = printable(path) + line;
  if (workspace.ringRadius()) {
    std::snprintf(line, sizeof line, ", ring radius %.1f", *workspace.ringRadius());
    report += line;
  }
  return report;
}

// Unwarps one photograph into `outputPath` as `panorama`; the panorama is written while
// it is made.
FileOutcome unwarpInto(DibImage& panorama, RecordingPrompts& prompts, const UnwarpOptions& options,
                       const std::string& roundPath, const std::string& outputPath, StepProgress& progress) {
  Workspace workspace(&prompts, &progress, nullptr);
  workspace.setMirror(mirrorChoiceOf(options.mirror));
  if (std::optional<FileOutcome> failure = openPhotograph(workspace, prompts, options.ring, roundPath, progress)) {
    return *failure;
  }
  std::optional<CalibratedPanorama> plan;
  if (std::optional<FileOutcome> failure = planChosenMirror(workspace, plan)) return *failure;
  const ExportResult result =
      exportRound(roundSourceOf(workspace, roundPath, options.lensThread, plan ? &*plan : nullptr),
                  exportRequest(outputKindFor(outputPath), outputPath, progress), panorama);
  if (!result.ok()) return FileOutcome::failed(printable(result.line()));
  if (plan) return FileOutcome::written(printable(outputPath) + describeMirrorPanorama(*plan));
  return FileOutcome::written(describePanorama(outputPath, workspace, panorama));
}

bool centreIsWhole(const UnwarpOptions& options) {
  if (!options.ring.centre || (isWholeNumber(options.ring.centre->x) && isWholeNumber(options.ring.centre->y))) {
    return true;
  }
  std::fprintf(stderr, "kelmira-cli: --centre takes whole pixels, for example 812,604\n");
  return false;
}

}  // namespace

FileOutcome unwarpFile(const UnwarpOptions& options, const std::string& roundPath, const std::string& outputPath,
                       StepProgress& progress, bool unwarpPanoramas) {
  RecordingPrompts prompts(roundPath, !unwarpPanoramas);
  DibImage panorama;
  FileOutcome outcome = unwarpInto(panorama, prompts, options, roundPath, outputPath, progress);
  outcome.warnings = prompts.warnings();
  return outcome;
}

int runUnwarp(const UnwarpOptions& options) {
  if (!isPanoramaPicture(outputKindFor(options.outputPath))) {
    return reportMisnamed(options.outputPath, OutputKind::Jpeg, 1);
  }
  if (!centreIsWhole(options)) return 2;
  if (const int refusal = mirrorOptionsRefusal(options.mirror, options.ring, options.lensThread)) return refusal;

  TerminalProgress progress(stderr);
  RecordingPrompts prompts(options.roundPath);
  DibImage panorama;
  FileOutcome outcome = unwarpInto(panorama, prompts, options, options.roundPath, options.outputPath, progress);
  outcome.warnings = prompts.warnings();
  if (const int status = reportOutcome(outcome); status != 0 || options.moviePath.empty()) return status;
  return writePanoramaMovie(panorama, options.moviePath, defaultMovieSettings(), progress);
}

int runUnwarpBatch(const UnwarpOptions& options, const BatchOptions& batch) {
  if (!centreIsWhole(options)) return 2;
  if (const int refusal = mirrorOptionsRefusal(options.mirror, options.ring, options.lensThread)) return refusal;
  return runBatch(batch, pictureKindNamed(batch.format),
                  [&](const std::string& input, const std::string& output, StepProgress& progress) {
                    return unwarpFile(options, input, output, progress, batch.force);
                  });
}

namespace {

class UnwarpCommand final : public CliCommand {
 public:
  explicit UnwarpCommand(CLI::App* command) : CliCommand(command) {
    command->add_option("FILES", paths_, "ROUND OUT, or the photographs of a batch with --out-dir")
        ->required()
        ->type_name("");
    addBatchOptions(*command, batch_, true);
    addRingOptions(*command, options_.ring);
    command->add_flag("--lens-thread", options_.lensThread,
                      "The lens-thread attachment: mirror the panorama left to right");
    addMirrorOptions(*command, options_.mirror);
    command->add_option("--movie", options_.moviePath, "Also write the panorama as a QuickTime VR movie")
        ->type_name("OUT.mov");
  }

  int run() override {
    if (!batch_.outputFolder.empty()) {
      if (!options_.moviePath.empty()) return usageError("--movie writes one panorama's movie; it takes no --out-dir");
      batch_.inputs = paths_;
      return runUnwarpBatch(options_, batch_);
    }
    if (!singleRun(subcommand(), paths_, options_.roundPath, options_.outputPath)) return 2;
    return runUnwarp(options_);
  }

 private:
  UnwarpOptions options_;
  std::vector<std::string> paths_;
  BatchOptions batch_;
};

}  // namespace

std::unique_ptr<CliCommand> addUnwarpCommand(CLI::App& app) {
  std::string names;
  for (const std::string& name : pictureExtensions()) {
    if (!names.empty()) names += ", ";
    names += name;
  }
  return std::make_unique<UnwarpCommand>(app.add_subcommand(
      "unwarp", "Unwarp a round photograph into a panorama (" + names +
                    "): ROUND OUT, or any number of photographs with --out-dir DIR, each written there as "
                    "NAME_pano.jpg (or the --format given)"));
}

}  // namespace kelmira

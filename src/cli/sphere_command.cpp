#include <cstdio>

#include "base/interruption.h"
#include "cli/batch_run.h"
#include "cli/cli_commands.h"
#include "cli/command_support.h"
#include "cli/file_job.h"
#include "cli/printable_text.h"
#include "cli/terminal_progress.h"
#include "export/panorama_export.h"
#include "image/dib_image.h"
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

bool qualityInRange(const SphereOptions& options) {
  if (options.quality >= 1 && options.quality <= 100) return true;
  std::fprintf(stderr, "kelmira-cli: --quality takes 1 to 100\n");
  return false;
}

// Opens the round photograph, places the ring, unwarps it and writes it as `kind`.
FileOutcome exportSphere(const SphereOptions& options, OutputKind kind, const std::string& roundPath,
                         const std::string& outputPath, StepProgress& progress, bool unwarpPanoramas) {
  RecordingPrompts prompts(roundPath, !unwarpPanoramas);
  Workspace workspace(&prompts, &progress, nullptr);
  FileOutcome outcome;
  if (std::optional<FileOutcome> failure = openPhotograph(workspace, prompts, options.ring, roundPath, progress)) {
    outcome = *failure;
  } else {
    ExportRequest request = exportRequest(kind, outputPath, progress);
    request.quality = options.quality;
    request.title = options.title;
    DibImage panorama;
    const ExportResult result =
        exportRound(roundSourceOf(workspace, roundPath, options.lensThread), request, panorama);
    outcome = result.ok() ? FileOutcome::written(describeSphere(outputPath, result.frame))
                          : FileOutcome::failed(printable(result.line()));
  }
  outcome.warnings = prompts.warnings();
  return outcome;
}

// Prints a single photograph's outcome; the exit status.
int finish(const FileOutcome& outcome) {
  std::fputs(outcome.warnings.c_str(), stderr);
  if (!outcome.ok()) {
    if (!Interruption::stopped()) std::fprintf(stderr, "kelmira-cli: %s\n", outcome.report.c_str());
    return 1;
  }
  std::printf("%s\n", outcome.report.c_str());
  return 0;
}

}  // namespace

FileOutcome sphereFile(const SphereOptions& options, const std::string& roundPath, const std::string& outputPath,
                       StepProgress& progress, bool unwarpPanoramas) {
  return exportSphere(options, OutputKind::SpherePhoto, roundPath, outputPath, progress, unwarpPanoramas);
}

int runSphere(const SphereOptions& options) {
  if (outputKindFor(options.outputPath, OutputKind::SpherePhoto) != OutputKind::SpherePhoto) {
    return reportMisnamed(options.outputPath, OutputKind::SpherePhoto, 2);
  }
  if (!qualityInRange(options)) return 2;
  TerminalProgress progress(stderr);
  return finish(sphereFile(options, options.roundPath, options.outputPath, progress, true));
}

int runSphereBatch(const SphereOptions& options, const BatchOptions& batch) {
  if (!qualityInRange(options)) return 2;
  return runBatch(batch, OutputKind::SpherePhoto,
                  [&](const std::string& input, const std::string& output, StepProgress& progress) {
                    return sphereFile(options, input, output, progress, batch.force);
                  });
}

int runWeb(const SphereOptions& options) {
  if (outputKindFor(options.outputPath) != OutputKind::WebPage) {
    return reportMisnamed(options.outputPath, OutputKind::WebPage, 2);
  }
  if (!qualityInRange(options)) return 2;
  // The viewer is looked for before the photograph is read.
  TerminalProgress progress(stderr);
  if (const ExportResult refusal = exportRefusal(exportRequest(OutputKind::WebPage, options.outputPath, progress));
      !refusal.ok()) {
    reportExportFailure(refusal);
    return 1;
  }
  return finish(exportSphere(options, OutputKind::WebPage, options.roundPath, options.outputPath, progress, true));
}

}  // namespace kelmira

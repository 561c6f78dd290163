#include <cmath>
#include <cstdio>
#include <filesystem>

#include "cli/batch_run.h"
#include "cli/cli_commands.h"
#include "cli/command_support.h"
#include "cli/file_job.h"
#include "cli/movie_command.h"
#include "cli/output_format.h"
#include "cli/printable_text.h"
#include "cli/save_as_rows_arrive.h"
#include "cli/terminal_progress.h"
#include "image/dib_image.h"
#include "image/file_type.h"
#include "base/interruption.h"
#include "workspace/workspace.h"

namespace kelmira {

namespace {

bool isWholeNumber(double value) { return std::isfinite(value) && value == std::trunc(value) && std::abs(value) < 1e9; }

std::string describePanorama(const std::string& path, const Workspace& workspace) {
  const DibImage& panorama = workspace.panorama();
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

// Unwarps one photograph into `outputPath` in `workspace`; the panorama is written while
// it is made.
FileOutcome unwarpInto(Workspace& workspace, RecordingPrompts& prompts, const UnwarpOptions& options,
                       const std::string& roundPath, const std::string& outputPath, FileType outputType,
                       StepProgress& progress) {
  std::error_code ignored;
  if (std::filesystem::is_regular_file(roundPath, ignored) && identifyFileType(roundPath) == FileTypeNone) {
    return FileOutcome::failed("cannot read " + printable(roundPath) + ": not a picture in a format Kelmira reads");
  }
  progress.setLabel("Reading");
  if (workspace.openRound(roundPath) != 1) return openRoundFailure(prompts, roundPath);
  if (std::optional<std::string> refusal = placeRing(workspace, options.ring, roundPath)) {
    return FileOutcome::failed(*refusal);
  }

  progress.setLabel("Unwarping");
  SaveAsRowsArrive save(outputPath, outputType);
  if (workspace.makePanorama(options.lensThread ? 1 : 0, 0, &save) != 0) {
    save.finish();
    return FileOutcome::failed(printable(roundPath) + " gives no panorama (crop radius " +
                               std::to_string(workspace.circleRadius()) + " is too small or memory ran out)");
  }
  progress.setLabel("Writing");
  std::optional<ImageErrorCode> code = save.finish();
  if (!code) code = workspace.panorama().saveToFile(outputPath, outputType, &progress);
  if (*code != ImageError::None) {
    return FileOutcome::failed("cannot write " + printable(outputPath) + ": " + errorText(*code));
  }
  return FileOutcome::written(describePanorama(outputPath, workspace));
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
  Workspace workspace(&prompts, &progress, nullptr);
  FileOutcome outcome =
      unwarpInto(workspace, prompts, options, roundPath, outputPath, outputTypeForPath(outputPath), progress);
  outcome.warnings = prompts.warnings();
  return outcome;
}

int runUnwarp(const UnwarpOptions& options) {
  const FileType outputType = outputTypeForPath(options.outputPath);
  if (outputType == FileTypeNone) return reportUnsupportedOutput(options.outputPath);
  if (!centreIsWhole(options)) return 2;

  TerminalProgress progress(stderr);
  RecordingPrompts prompts(options.roundPath);
  Workspace workspace(&prompts, &progress, nullptr);
  const FileOutcome outcome =
      unwarpInto(workspace, prompts, options, options.roundPath, options.outputPath, outputType, progress);
  std::fputs(prompts.warnings().c_str(), stderr);
  if (!outcome.ok()) {
    if (!Interruption::stopped()) std::fprintf(stderr, "kelmira-cli: %s\n", outcome.report.c_str());
    return 1;
  }
  std::printf("%s\n", outcome.report.c_str());
  if (options.moviePath.empty()) return 0;
  DibImage moviePanorama;  // the movie trims its own copy to movie size
  if (moviePanorama.copyFrom(workspace.panorama()) != ImageError::None) {
    std::fprintf(stderr, "kelmira-cli: out of memory\n");
    return 1;
  }
  return writePanoramaMovie(moviePanorama, options.moviePath, defaultMovieSettings(), progress);
}

int runUnwarpBatch(const UnwarpOptions& options, const BatchOptions& batch) {
  if (!centreIsWhole(options)) return 2;
  return runBatch(batch, "_pano." + batch.format,
                  [&](const std::string& input, const std::string& output, StepProgress& progress) {
                    return unwarpFile(options, input, output, progress, batch.force);
                  });
}

}  // namespace kelmira

#include <cmath>
#include <cstdio>
#include <filesystem>

#include "cli/cli_commands.h"
#include "cli/command_support.h"
#include "cli/movie_command.h"
#include "cli/output_format.h"
#include "cli/save_as_rows_arrive.h"
#include "cli/terminal_progress.h"
#include "image/dib_image.h"
#include "image/file_type.h"
#include "workspace/prompts.h"
#include "workspace/workspace.h"

namespace kelmira {

namespace {

bool isWholeNumber(double value) { return std::isfinite(value) && value == std::trunc(value) && std::abs(value) < 1e9; }

}  // namespace

int runUnwarp(const UnwarpOptions& options) {
  const FileType outputType = outputTypeForPath(options.outputPath);
  if (outputType == FileTypeNone) return reportUnsupportedOutput(options.outputPath);
  if (options.ring.centre && !(isWholeNumber(options.ring.centre->x) && isWholeNumber(options.ring.centre->y))) {
    std::fprintf(stderr, "kelmira-cli: --centre takes whole pixels, for example 812,604\n");
    return 2;
  }

  std::error_code ignored;
  if (std::filesystem::is_regular_file(options.roundPath, ignored) && identifyFileType(options.roundPath) == FileTypeNone) {
    std::fprintf(stderr, "kelmira-cli: cannot read %s: not a picture in a format Kelmira reads\n",
                 options.roundPath.c_str());
    return 1;
  }

  TerminalProgress progress(stderr);
  StderrPrompts prompts(options.roundPath);
  Workspace workspace(&prompts, &progress, nullptr);
  progress.setLabel("Reading");
  if (workspace.openRound(options.roundPath) != 1) return 1;
  if (!placeRing(workspace, options.ring, options.roundPath)) return 1;

  progress.setLabel("Unwarping");
  SaveAsRowsArrive save(options.outputPath, outputType);
  if (workspace.makePanorama(options.lensThread ? 1 : 0, 0, &save) != 0) {
    save.finish();
    std::fprintf(stderr, "kelmira-cli: %s gives no panorama (crop radius %d is too small or memory ran out)\n",
                 options.roundPath.c_str(), workspace.circleRadius());
    return 1;
  }

  const DibImage& panorama = workspace.panorama();
  progress.setLabel("Writing");
  if (const std::optional<ImageErrorCode> code = save.finish()) {
    if (!reportSaveResult(*code, options.outputPath)) return 1;
  } else if (!saveImage(panorama, options.outputPath, outputType, progress)) {
    return 1;
  }
  std::printf("%s: %d x %d panorama around (%d, %d), crop radius %d", options.outputPath.c_str(), panorama.width(),
              panorama.height(), workspace.circleCentreX(), workspace.circleCentreY(), workspace.circleRadius());
  if (workspace.ringRadius()) std::printf(", ring radius %.1f", *workspace.ringRadius());
  std::printf("\n");
  if (options.moviePath.empty()) return 0;
  DibImage moviePanorama;  // the movie trims its own copy to movie size
  if (moviePanorama.copyFrom(panorama) != ImageError::None) {
    std::fprintf(stderr, "kelmira-cli: out of memory\n");
    return 1;
  }
  return writePanoramaMovie(moviePanorama, options.moviePath, defaultMovieSettings(), progress);
}

}  // namespace kelmira

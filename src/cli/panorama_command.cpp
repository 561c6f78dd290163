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
#include "movie/qtvr_panorama_reader.h"
#include "unwarp/row_elevations.h"

namespace kelmira {

FileOutcome moviePanoramaFile(const std::string& moviePath, ExportRequest request, StepProgress& progress) {
  progress.setLabel("Reading");
  QtvrPanorama movie;
  if (std::string why = readQtvrPanorama(moviePath, movie); !why.empty()) {
    return FileOutcome::failed("cannot read " + printable(moviePath) + ": " + why);
  }
  const RowElevations rows(movie.rowElevations());
  const ExportResult result = exportPanorama({movie.panorama, rows}, request);
  if (!result.ok()) return FileOutcome::failed(printable(result.line()));
  char line[256];
  std::snprintf(line, sizeof line, ": %d x %d panorama from %d tiles, elevations %.1f to %.1f degrees%s",
                movie.panorama.width(), movie.panorama.height(), movie.tileCount, rows.top(), rows.bottom(),
                movie.hasHotSpots ? " (hot spots left out)" : "");
  std::string report = printable(request.destination) + line;
  if (request.kind == OutputKind::SpherePhoto || request.kind == OutputKind::WebPage) {
    std::snprintf(line, sizeof line, ", placed as %d x %d of a %d x %d sphere", result.frame.fullWidth,
                  result.frame.height, result.frame.fullWidth, result.frame.fullHeight);
    report += line;
  }
  return FileOutcome::written(report);
}

namespace {

class PanoramaCommand final : public CliCommand {
 public:
  explicit PanoramaCommand(CLI::App* command) : CliCommand(command) {
    command->add_option("FILES", paths_, "MOVIE OUT.jpg|.tif|.bmp, or the movies of a batch with --out-dir")
        ->required()
        ->type_name("");
    addBatchOptions(*command, batch_, true);
  }

  int run() override {
    const auto work = [](const std::string& input, const std::string& output, StepProgress& progress) {
      return moviePanoramaFile(input, exportRequest(outputKindFor(output), output, progress), progress);
    };
    if (!batch_.outputFolder.empty()) {
      batch_.inputs = paths_;
      return runBatch(batch_, pictureKindNamed(batch_.format), work);
    }
    std::string moviePath;
    std::string outputPath;
    if (!singleRun(subcommand(), paths_, moviePath, outputPath)) return 2;
    if (!isPanoramaPicture(outputKindFor(outputPath))) return reportMisnamed(outputPath, OutputKind::Jpeg, 2);
    TerminalProgress progress(stderr);
    return reportOutcome(work(moviePath, outputPath, progress));
  }

 private:
  std::vector<std::string> paths_;
  BatchOptions batch_;
};

}  // namespace

std::unique_ptr<CliCommand> addPanoramaCommand(CLI::App& app) {
  return std::make_unique<PanoramaCommand>(app.add_subcommand(
      "panorama",
      "Put the flat panorama of a QuickTime VR panorama movie back together: MOVIE OUT.jpg|.tif|.bmp, or any number "
      "of movies with --out-dir DIR, each written there as NAME_pano.jpg"));
}

}  // namespace kelmira

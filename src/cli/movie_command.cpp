#include "cli/movie_command.h"

#include <CLI/CLI.hpp>

#include <cstdio>

#include "cli/cli_command.h"
#include "cli/command_support.h"
#include "cli/printable_text.h"
#include "cli/stored_movie_view.h"
#include "cli/terminal_progress.h"
#include "export/panorama_export.h"
#include "image/dib_image.h"
#include "movie/quicktime/movie_runtime.h"
#include "unwarp/row_elevations.h"

namespace kelmira {

namespace {

// "WxH" with whole numbers of any sign, so that a size out of range gets its own message.
bool parseWholeNumberPair(const std::string& text, long& width, long& height) {
  int consumed = 0;
  return std::sscanf(text.c_str(), "%ldx%ld%n", &width, &height, &consumed) == 2 &&
         static_cast<std::size_t>(consumed) == text.size();
}

}  // namespace

bool movieSettingsFromOptions(const MovieOptions& options, MovieSettings& settings) {
  const auto codec = movieChoice(kMovieCodecs, options.codec);
  const auto quality = movieChoice(kMovieQualities, options.quality);
  const auto correction = movieChoice(kMovieCorrections, options.correction);
  const MovieViewSize stored = options.view.empty() ? readStoredMovieView(windowSettingsPath()) : MovieViewSize{};
  long width = stored.width;
  long height = stored.height;
  if (!codec || !quality || !correction ||
      (!options.view.empty() && !parseWholeNumberPair(options.view, width, height))) {
    std::fprintf(stderr,
                 "kelmira-cli: movie settings: --codec jpeg|cinepak|sorenson, --quality "
                 "minimum|low|normal|high|maximum|lossless, --view WxH, --correction none|partial|full\n");
    return false;
  }
  if (!isMovieViewSizeAllowed(width) || !isMovieViewSizeAllowed(height)) {
    std::fprintf(stderr, "kelmira-cli: --view %s: %s\n", printable(options.view).c_str(), kMovieViewSizeRule);
    return false;
  }
  settings = {*codec, *quality, static_cast<std::int32_t>(width), static_cast<std::int32_t>(height), *correction};
  return true;
}

MovieSettings defaultMovieSettings() {
  MovieSettings settings;
  movieSettingsFromOptions(MovieOptions{}, settings);
  return settings;
}

int writePanoramaMovie(const DibImage& panorama, const std::string& outputPath, const MovieSettings& settings,
                       TerminalProgress& progress) {
  if (initializeQtml() != noErr) {
    std::fprintf(stderr, "kelmira-cli: the movie toolbox did not start\n");
    return 1;
  }
  progress.setLabel("Movie");
  ExportRequest request;
  request.kind = OutputKind::Movie;
  request.destination = outputPath;
  request.movie = settings;
  request.progress = &progress;
  // A panorama opened from a file is taken as one Kelmira made and never cropped.
  const RowElevations rows = RowElevations::ofUnwarp(static_cast<std::uint32_t>(panorama.height()));
  const ExportResult result = exportPanorama({panorama, rows}, request);
  exitMovies();
  terminateQtml();
  if (!result.ok()) {
    reportExportFailure(result);
    return 1;
  }
  std::printf("%s: QuickTime VR panorama movie of a %d x %d panorama, %d tiles\n", printable(outputPath).c_str(),
              result.width, result.height, kMovieTileCount);
  return 0;
}

int runMovie(const MovieOptions& options) {
  MovieSettings settings;
  if (!movieSettingsFromOptions(options, settings)) return 2;
  TerminalProgress progress(stderr);
  DibImage panorama;
  if (!loadImage(panorama, options.panoramaPath, progress)) return 1;
  return writePanoramaMovie(panorama, options.outputPath, settings, progress);
}

namespace {

class MovieCommand final : public CliCommand {
 public:
  explicit MovieCommand(CLI::App* command) : CliCommand(command) {
    command->add_option("PANORAMA", options_.panoramaPath, "The panorama")->required();
    command->add_option("OUT", options_.outputPath, "The movie to write (.mov)")->required();
    command->add_option("--codec", options_.codec, "jpeg (default), cinepak or sorenson")
        ->type_name("jpeg|cinepak|sorenson");
    command->add_option("--quality", options_.quality, "minimum, low, normal (default), high, maximum or lossless")
        ->type_name("NAME");
    command
        ->add_option("--view", options_.view,
                     "Size of the VR view (default: the size stored by Movie Defaults, else 400x180)")
        ->type_name("WxH");
    command->add_option("--correction", options_.correction, "none (default), partial or full")
        ->type_name("none|partial|full");
  }
  int run() override { return runMovie(options_); }

 private:
  MovieOptions options_;
};

}  // namespace

std::unique_ptr<CliCommand> addMovieCommand(CLI::App& app) {
  return std::make_unique<MovieCommand>(
      app.add_subcommand("movie", "Write a panorama as a QuickTime VR panorama movie"));
}

}  // namespace kelmira

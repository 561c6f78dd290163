#include "cli/movie_command.h"

#include <cstdio>
#include <map>

#include "cli/command_support.h"
#include "base/interruption.h"
#include "cli/output_format.h"
#include "cli/printable_text.h"
#include "cli/stored_movie_view.h"
#include "cli/terminal_progress.h"
#include "image/dib_image.h"
#include "movie/panorama_movie_export.h"
#include "movie/quicktime/movie_runtime.h"

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
  static const std::map<std::string, OSType> codecs = {
      {"jpeg", fourCC("jpeg")}, {"cinepak", fourCC("cvid")}, {"sorenson", fourCC("SVQ1")}};
  static const std::map<std::string, std::uint32_t> qualities = {{"minimum", 0},     {"low", 0x100},
                                                                  {"normal", 0x200}, {"high", 0x300},
                                                                  {"maximum", 0x3FF}, {"lossless", 0x400}};
  static const std::map<std::string, std::uint32_t> corrections = {{"none", 0}, {"partial", 1}, {"full", 2}};
  const auto codec = codecs.find(options.codec);
  const auto quality = qualities.find(options.quality);
  const auto correction = corrections.find(options.correction);
  const MovieViewSize stored = options.view.empty() ? readStoredMovieView(windowSettingsPath()) : MovieViewSize{};
  long width = stored.width;
  long height = stored.height;
  if (codec == codecs.end() || quality == qualities.end() || correction == corrections.end() ||
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
  settings = {codec->second, quality->second, static_cast<std::int32_t>(width), static_cast<std::int32_t>(height),
              correction->second};
  return true;
}

MovieSettings defaultMovieSettings() {
  MovieSettings settings;
  movieSettingsFromOptions(MovieOptions{}, settings);
  return settings;
}

int writePanoramaMovie(DibImage& panorama, const std::string& outputPath, const MovieSettings& settings,
                       TerminalProgress& progress) {
  if (initializeQtml() != noErr) {
    std::fprintf(stderr, "kelmira-cli: the movie toolbox did not start\n");
    return 1;
  }
  progress.setLabel("Movie");
  const MovieExportResult result = savePanoramaMovie(panorama, outputPath, settings, &progress);
  exitMovies();
  terminateQtml();
  if (result.code != 0) {
    if (Interruption::stopped()) return 1;
    // The window's message box takes paragraphs; a terminal line takes none.
    std::string message;
    for (const char c : result.message) {
      if (c != '\n') {
        message += c;
      } else if (message.empty() || message.back() != ' ') {
        message += ' ';
      }
    }
    std::fprintf(stderr, "kelmira-cli: %s: %s (%d)\n", printable(outputPath).c_str(), printable(message).c_str(),
                 result.code);
    return 1;
  }
  std::printf("%s: QuickTime VR panorama movie of a %d x %d panorama, 24 tiles\n", printable(outputPath).c_str(),
              panorama.width(), panorama.height());
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

}  // namespace kelmira

#pragma once

#include <string>

#include "movie/movie_settings.h"

namespace kelmira {

class DibImage;
class TerminalProgress;

struct MovieOptions {
  std::string panoramaPath;
  std::string outputPath;
  std::string codec = "jpeg";       // jpeg, cinepak, sorenson
  std::string quality = "normal";   // minimum, low, normal, high, maximum, lossless
  std::string view;                 // WxH of the VR view; empty: the stored default
  std::string correction = "none";  // none, partial, full
};

// The movie settings the options name; false with a message on stderr when one is unknown.
bool movieSettingsFromOptions(const MovieOptions& options, MovieSettings& settings);

// The settings of a movie made with every option at its default.
MovieSettings defaultMovieSettings();

// Writes `panorama` as a QuickTime VR movie; prints the outcome. Exit status.
int writePanoramaMovie(const DibImage& panorama, const std::string& outputPath, const MovieSettings& settings,
                       TerminalProgress& progress);

int runMovie(const MovieOptions& options);

}  // namespace kelmira

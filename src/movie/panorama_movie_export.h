#pragma once

#include <string>

#include "movie/movie_settings.h"

namespace kelmira {

class DibImage;
class ProgressSink;

struct MovieExportResult {
  int code = 0;         // 0 written; -1 refused or the image could not be prepared; else QuickTime's code
  std::string message;  // what to tell the user when not written
};

// Saves the panorama as a QuickTime VR panorama movie. A refused movie (movieRefusal)
// touches nothing. Otherwise the panorama is first brought to
// movie size in place (fitToMovieSize) and keeps it. The destination is replaced only by a
// complete movie, and not when `progress` answers 0 (stop) to its last report; no temporary
// file is left behind.
// The movie toolbox must be initialised.
MovieExportResult savePanoramaMovie(DibImage& panorama, const std::string& destination, const MovieSettings& settings,
                                    ProgressSink* progress = nullptr);

// Why a movie of this panorama with these settings cannot be made; empty when it can.
std::string movieRefusal(const DibImage& panorama, const MovieSettings& settings);

// The first step of the save: the panorama brought to movie size in place, then a copy
// turned a quarter turn counter-clockwise written to `imagePath` as a BMP file.
MovieExportResult prepareMovieImage(DibImage& panorama, const std::string& imagePath, ProgressSink* progress = nullptr);

// A new empty file, created exclusively, in the system's temporary folder or, when that
// cannot be used, in `fallbackFolder`, with the given extension; its path, or empty when
// neither folder takes one.
std::string makeTempPath(const std::string& extension, const std::string& fallbackFolder);

}  // namespace kelmira

#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "image/dib_image.h"
#include "movie/quicktime/qt_types.h"

namespace kelmira {

// A QuickTime VR panorama read back from a movie: a cylinder's flat panorama put together
// from its tiles and turned upright, or a cube's faces made into the full sphere; and what
// its pdat says of its view.
struct QtvrPanorama {
  DibImage panorama;
  OSType codec = 0;              // the tiles' compressor ('jpeg', 'cvid', 'SVQ1')
  std::int32_t tileCount = 0;
  bool turned = true;            // the tiles were stored turned a quarter counter-clockwise
  float minTilt = 0.0f;          // degrees, of the panorama's bottom and top edges
  float maxTilt = 0.0f;
  bool hasHotSpots = false;      // left out of the panorama
  bool cubic = false;            // six faces, made into the full sphere's equirectangular picture

  // The elevation of each row's centre: a cylinder's rows lie evenly on it between the
  // tilts of its edges, a sphere's evenly from the zenith to the nadir.
  std::vector<double> rowElevations() const;
};

// Whether the file begins as a QuickTime movie does (a top-level atom a movie has).
bool looksLikeQuickTimeMovie(const std::string& path);

// Whether the file is a QuickTime movie with a QuickTime VR track of any kind (panorama,
// object, old or new), rather than an ordinary video.
bool isQuickTimeVrMovie(const std::string& path);

// Reads a single-node panorama movie, cylindrical or cubic. Empty when it worked; otherwise a
// sentence for the user saying why the movie was refused (an object movie, several nodes,
// a codec that cannot be decoded, a damaged movie). Every count and size is checked
// before anything is allocated for it. Starts and stops the movie toolbox itself.
std::string readQtvrPanorama(const std::string& path, QtvrPanorama& result);

}  // namespace kelmira

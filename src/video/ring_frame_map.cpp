#include "video/ring_frame_map.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "unwarp/mirror_profile_table.h"
#include "unwarp/row_elevations.h"

namespace kelmira {

namespace {

// Rows of the fine unwarp whose radii and elevations the frame's rows are read between.
constexpr std::uint32_t kFineRows = 4096;

}  // namespace

FrameMap ringFrameMap(const VideoRing& ring, std::uint32_t width, std::uint32_t frameWidth,
                      std::uint32_t frameHeight) {
  // The rows of a fine unwarp and one more, on the ring's outer edge, so the band reaches it.
  const MirrorProfileTable table = buildMirrorProfileTable();
  std::vector<double> radii(kFineRows + 1);
  std::vector<double> degrees(kFineRows + 1);
  for (std::uint32_t i = 0; i <= kFineRows; ++i) {
    radii[i] = radiusForRow(i, kFineRows, table);
    degrees[i] = elevationForRadius(radii[i]);
  }
  const RowElevations elevations(std::move(degrees));

  std::uint32_t first = 0;
  std::uint32_t count = 0;
  FrameMap::rowsBetween(width, elevations.top(), elevations.bottom(), first, count);
  FrameMap map;
  if (frameWidth == 0 || frameHeight == 0 || !map.allocate(width, first, count)) return map;

  std::vector<double> cosines(width);
  std::vector<double> sines(width);
  for (std::uint32_t j = 0; j < width; ++j) {
    // The lens thread's panorama is mirrored left to right.
    const std::uint32_t column = ring.lensThread ? width - 1 - j : j;
    const double theta = (column * mirror_model::twoPi) / width;
    cosines[j] = std::cos(theta);
    sines[j] = std::sin(theta);
  }
  const double maxX = frameWidth - 1.0;
  const double maxY = frameHeight - 1.0;
  for (std::uint32_t y = first; y < first + count; ++y) {
    const double row = elevations.rowAt(map.elevationOfRow(y));
    const auto upper = static_cast<std::uint32_t>(row);
    const std::uint32_t lower = std::min(upper + 1, kFineRows);
    const double t = radii[upper] + (radii[lower] - radii[upper]) * (row - upper);
    float* xs = map.xRow(y);
    float* ys = map.yRow(y);
    for (std::uint32_t j = 0; j < width; ++j) {
      const double x = t * cosines[j] * ring.scale + ring.centreX;
      const double sy = t * sines[j] * ring.scale + ring.centreY;
      if (x >= 0 && sy >= 0 && x <= maxX && sy <= maxY) {
        xs[j] = static_cast<float>(x);
        ys[j] = static_cast<float>(sy);
      }
    }
  }
  return map;
}

std::uint32_t defaultVideoWidth(double ringRadius) {
  const MirrorProfileTable table = buildMirrorProfileTable();
  const double inner = table.entries.front().imageRadius / table.entries.back().imageRadius;
  const double middle = ringRadius * (1 + inner) / 2;
  const double sixteens = std::round(middle * mirror_model::twoPi / 16);
  if (!(sixteens >= 16)) return 256;
  return static_cast<std::uint32_t>(std::min(sixteens, 256.0)) * 16;
}

}  // namespace kelmira

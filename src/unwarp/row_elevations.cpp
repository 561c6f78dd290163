#include "unwarp/row_elevations.h"

#include <algorithm>
#include <cmath>

#include "image/resample.h"
#include "unwarp/mirror_profile_table.h"

namespace kelmira {

double elevationForRadius(double imageRadius) {
  using namespace mirror_model;
  const auto [e, z] = mirrorPoint(focalLength, imageRadius);
  return reflectedRayAngle(focalLength, imageRadius, e) * (180 / (2 * halfPi));
}

RowElevations RowElevations::ofUnwarp(std::uint32_t rows) {
  const MirrorProfileTable table = buildMirrorProfileTable();
  std::vector<double> degrees(rows);
  for (std::uint32_t i = 0; i < rows; ++i) degrees[i] = elevationForRadius(radiusForRow(i, rows, table));
  return RowElevations(std::move(degrees));
}

RowElevations RowElevations::cropped(std::size_t first, std::size_t last) const {
  if (first > last || last >= degrees_.size()) return {};
  return RowElevations(std::vector<double>(degrees_.begin() + static_cast<std::ptrdiff_t>(first),
                                           degrees_.begin() + static_cast<std::ptrdiff_t>(last) + 1));
}

RowElevations RowElevations::resampled(std::int32_t rows) const {
  if (degrees_.empty() || rows <= 0) return {};
  const auto count = static_cast<std::int32_t>(degrees_.size());
  std::vector<double> degrees(static_cast<std::size_t>(rows));
  for (std::int32_t i = 0; i < rows; ++i) {
    const double y = resamplePosition(i, count, rows);
    const auto y0 = static_cast<std::int32_t>(y);
    const std::int32_t y1 = std::min(y0 + 1, count - 1);
    degrees[i] = degrees_[y0] * ((y0 + 1) - y) + degrees_[y1] * (y - y0);
  }
  return RowElevations(std::move(degrees));
}

double RowElevations::rowAt(double elevation) const {
  if (degrees_.size() < 2 || elevation >= degrees_.front()) return 0.0;
  if (elevation <= degrees_.back()) return static_cast<double>(degrees_.size() - 1);
  // The first row at or below the elevation; the elevations fall with the row.
  const auto below = std::lower_bound(degrees_.begin(), degrees_.end(), elevation, std::greater<double>());
  const std::size_t i = static_cast<std::size_t>(below - degrees_.begin());
  const double upper = degrees_[i - 1], lower = degrees_[i];
  return static_cast<double>(i - 1) + (upper - elevation) / (upper - lower);
}

}  // namespace kelmira

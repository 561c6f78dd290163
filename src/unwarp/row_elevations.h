#pragma once

#include <cstdint>
#include <vector>

namespace kelmira {

// The elevation, in degrees above the horizon, of the ray a ring radius sees: the mirror
// model's reflected ray angle. It falls strictly, from about +17.2 at the ring's inner edge
// (1.76 units) to about -33.7 at its outer edge.
double elevationForRadius(double imageRadius);

// The elevation each row of a panorama looks at, top row first (falling strictly). The
// rows of an unwarp see the radii radiusForRow gives; crops and resizes carry them along.
class RowElevations {
 public:
  RowElevations() = default;
  explicit RowElevations(std::vector<double> degrees) : degrees_(std::move(degrees)) {}
  // The rows of a panorama of `rows` rows as Make Pano unwarps it.
  static RowElevations ofUnwarp(std::uint32_t rows);

  std::size_t size() const { return degrees_.size(); }
  bool empty() const { return degrees_.empty(); }
  double at(std::size_t row) const { return degrees_[row]; }
  double top() const { return degrees_.front(); }
  double bottom() const { return degrees_.back(); }

  // The rows first..last (inclusive) kept by a crop.
  RowElevations cropped(std::size_t first, std::size_t last) const;
  // The rows after the picture is resampled to `rows` rows, row for row as the resampler
  // reads them.
  RowElevations resampled(std::int32_t rows) const;
  // The row, between rows, that looks at `elevation`: 0.0 at the top row's elevation,
  // size() - 1 at the last; outside that range it is clamped.
  double rowAt(double elevation) const;

 private:
  std::vector<double> degrees_;
};

}  // namespace kelmira

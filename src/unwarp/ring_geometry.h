#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

#include "unwarp/unwarp_ring.h"

namespace kelmira::unwarp_detail {

// Columns whose sample points are worked out together before they are sampled.
inline constexpr std::uint32_t kRunColumns = 64;

// Where each pixel of a run of output columns samples the source: the byte offset of its
// top-left neighbour, the steps to the neighbours right and below (0 on the last column
// and row, which repeat), and the fractions towards them. Points outside the source are
// marked and sample the first pixel with no weight, so every offset can be read.
struct SamplePoints {
  std::uint32_t count = 0;
  std::int64_t corner[kRunColumns];
  std::int64_t right[kRunColumns];
  std::int64_t below[kRunColumns];
  double fx[kRunColumns];
  double fy[kRunColumns];
  bool inside[kRunColumns];
};

// The unwarp's geometry: for each output row the ring radius it sees, for each column the
// direction; from them, row by row, the points every sampler reads. A sample point lies at
// radius x cosine (or sine) x scale + centre, in that order of operations.
class RingGeometry {
 public:
  RingGeometry(const SourceView& source, const ImageView& target, double centreX, double centreY, double scale);

  // Renders `count` columns of one output row from column `first`, a run at a time.
  template <typename Sampler>
  void renderColumns(std::uint32_t row, std::uint32_t first, std::uint32_t count, const Sampler& sampler) const {
    const std::size_t p = source_.bytesPerPixel;
    std::uint8_t* out = target_.pixels + row * (p * target_.width);
    SamplePoints points;
    for (std::uint32_t end = first + count; first < end; first += kRunColumns) {
      points.count = std::min(kRunColumns, end - first);
      locate(radii_[row], first, points);
      sampler.sample(points, out + first * p);
    }
  }

  template <typename Sampler>
  void renderRow(std::uint32_t row, const Sampler& sampler) const {
    renderColumns(row, 0, target_.width, sampler);
  }

  const SourceView& source() const { return source_; }
  const ImageView& target() const { return target_; }
  double rowRadius(std::uint32_t row) const { return radii_[row]; }
  const double* cosines() const { return cosines_.data(); }
  const double* sines() const { return sines_.data(); }
  double centreX() const { return centreX_; }
  double centreY() const { return centreY_; }
  double scale() const { return scale_; }
  double maxX() const { return maxX_; }
  double maxY() const { return maxY_; }

 private:
  void locate(double t, std::uint32_t first, SamplePoints& points) const;

  const SourceView source_;
  const ImageView target_;
  const double centreX_;
  const double centreY_;
  const double scale_;
  const double maxX_;
  const double maxY_;
  std::vector<double> cosines_;
  std::vector<double> sines_;
  std::vector<double> radii_;
};

}  // namespace kelmira::unwarp_detail

#pragma once

#include <cstdint>
#include <vector>

#include "unwarp/unwarp_ring.h"

namespace kelmira::unwarp_detail {

// The unwarp's geometry, worked out once per unwarp: for each output row the ring radius it
// sees, for each column the direction. Output pixel (row, j) samples the source at
// radius x cosine (or sine) x scale + centre, in that order of operations.
class RingGeometry {
 public:
  // Columns the kernel takes at a time; the direction tables run on to a whole number of
  // them (the extra columns look at the centre and are never written).
  static constexpr std::uint32_t kGroupColumns = 8;

  RingGeometry(const SourceView& source, const ImageView& target, double centreX, double centreY, double scale);

  const SourceView& source() const { return source_; }
  const ImageView& target() const { return target_; }
  // Bytes from the source's first pixel to just past its last.
  std::int64_t sourceBytes() const { return sourceBytes_; }
  double rowRadius(std::uint32_t row) const { return radii_[row]; }
  const double* cosines() const { return cosines_.data(); }
  const double* sines() const { return sines_.data(); }
  std::uint32_t paddedWidth() const { return static_cast<std::uint32_t>(cosines_.size()); }
  double centreX() const { return centreX_; }
  double centreY() const { return centreY_; }
  double scale() const { return scale_; }
  double maxX() const { return maxX_; }
  double maxY() const { return maxY_; }

 private:
  const SourceView source_;
  const ImageView target_;
  const std::int64_t sourceBytes_;
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

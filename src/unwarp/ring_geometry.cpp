#include "unwarp/ring_geometry.h"

#include <cmath>

#include "unwarp/mirror_profile_table.h"

namespace kelmira::unwarp_detail {

RingGeometry::RingGeometry(const SourceView& source, const ImageView& target, double centreX, double centreY,
                           double scale)
    : source_(source), target_(target), centreX_(centreX), centreY_(centreY), scale_(scale),
      maxX_(static_cast<double>(source.width) - 1), maxY_(static_cast<double>(source.height) - 1),
      cosines_(target.width), sines_(target.width), radii_(target.height) {
  const double w = target.width;
  for (std::uint32_t j = 0; j < target.width; ++j) {
    const double theta = (j * mirror_model::twoPi) / w;
    cosines_[j] = std::cos(theta);
    sines_[j] = std::sin(theta);
  }
  const MirrorProfileTable table = buildMirrorProfileTable();
  for (std::uint32_t i = 0; i < target.height; ++i) radii_[i] = radiusForRow(i, target.height, table);
}

void RingGeometry::locate(double t, std::uint32_t first, SamplePoints& points) const {
  const std::size_t p = source_.bytesPerPixel;
  for (std::uint32_t i = 0; i < points.count; ++i) {
    const std::uint32_t j = first + i;
    const double x = t * cosines_[j] * scale_ + centreX_;
    const double y = t * sines_[j] * scale_ + centreY_;
    points.inside[i] = x >= 0 && y >= 0 && x <= maxX_ && y <= maxY_;
    if (!points.inside[i]) {
      points.corner[i] = points.right[i] = points.below[i] = 0;
      points.fx[i] = points.fy[i] = 0;
      continue;
    }
    const auto x0 = static_cast<std::uint32_t>(x);
    const auto y0 = static_cast<std::uint32_t>(y);
    points.fx[i] = x - x0;
    points.fy[i] = y - y0;
    points.corner[i] = static_cast<std::int64_t>(y0 * source_.stride + x0 * p);
    points.right[i] = x0 + 1 < source_.width ? static_cast<std::int64_t>(p) : 0;
    points.below[i] = y0 + 1 < source_.height ? static_cast<std::int64_t>(source_.stride) : 0;
  }
}

}  // namespace kelmira::unwarp_detail

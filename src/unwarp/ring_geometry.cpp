#include "unwarp/ring_geometry.h"

#include <cmath>

#include "unwarp/mirror_profile_table.h"

namespace kelmira::unwarp_detail {

RingGeometry::RingGeometry(const SourceView& source, const ImageView& target, double centreX, double centreY,
                           double scale)
    : source_(source),
      target_(target),
      sourceBytes_(static_cast<std::int64_t>((source.height - std::size_t{1}) * source.stride +
                                             std::size_t{source.bytesPerPixel} * source.width)),
      centreX_(centreX),
      centreY_(centreY),
      scale_(scale),
      maxX_(static_cast<double>(source.width) - 1),
      maxY_(static_cast<double>(source.height) - 1),
      cosines_((target.width + kGroupColumns - 1) / kGroupColumns * std::size_t{kGroupColumns}, 0.0),
      sines_(cosines_.size(), 0.0),
      radii_(target.height) {
  const double w = target.width;
  for (std::uint32_t j = 0; j < target.width; ++j) {
    const double theta = (j * mirror_model::twoPi) / w;
    cosines_[j] = std::cos(theta);
    sines_[j] = std::sin(theta);
  }
  const MirrorProfileTable table = buildMirrorProfileTable();
  for (std::uint32_t i = 0; i < target.height; ++i) radii_[i] = radiusForRow(i, target.height, table);
}

}  // namespace kelmira::unwarp_detail

#include "unwarp/ring_simulator.h"

#include <algorithm>
#include <cmath>

#include "unwarp/mirror_profile_table.h"

namespace kelmira {

namespace {

// Cylinder height seen at image radius t, interpolated in the table like radiusForRow
// does the other way round, and extended along the end segments just past the table so
// that the ring's edges are painted a little beyond where the unwarp will sample them.
double heightForRadius(double t, const MirrorProfileTable& table) {
  const auto& e = table.entries;
  constexpr int last = MirrorProfileTable::kSize - 1;
  int k = std::clamp(static_cast<int>((t - e[0].imageRadius) / mirror_model::tableStep), 0, last - 1);
  while (k > 0 && e[k].imageRadius > t) --k;
  while (k < last - 1 && e[k + 1].imageRadius < t) ++k;
  const MirrorProfileEntry& a = e[k];
  const MirrorProfileEntry& b = e[k + 1];
  return a.cylinderHeight + (b.cylinderHeight - a.cylinderHeight) * (t - a.imageRadius) / (b.imageRadius - a.imageRadius);
}

}  // namespace

bool simulateRing(const SourceView& panorama, const ImageView& round, double centreX, double centreY,
                  std::optional<double> ringScale) {
  if (panorama.pixels == nullptr || round.pixels == nullptr || panorama.bytesPerPixel != 3 ||
      round.bytesPerPixel != 3 || panorama.width == 0 || panorama.height == 0) {
    return false;
  }
  const MirrorProfileTable table = buildMirrorProfileTable();
  const double top = table.entries[0].cylinderHeight;
  const double rowStep = (top - table.entries[MirrorProfileTable::kSize - 1].cylinderHeight) / panorama.height;
  const double scale = ringScale.value_or(defaultRingScale(round.height));
  const double columns = panorama.width;
  const double lastRow = panorama.height - 1.0;

  for (std::uint32_t y = 0; y < round.height; ++y) {
    std::uint8_t* out = round.pixels + y * round.stride;
    for (std::uint32_t x = 0; x < round.width; ++x, out += 3) {
      const double dx = x - centreX;
      const double dy = y - centreY;
      const double row = (top - heightForRadius(std::hypot(dx, dy) / scale, table)) / rowStep;
      if (!(row >= -8 && row <= lastRow + 1.5)) {
        out[0] = out[1] = out[2] = 0;
        continue;
      }
      // Angles grow clockwise on screen (rows count downwards), as in the unwarp.
      double theta = std::atan2(dy, dx);
      if (theta < 0) theta += mirror_model::twoPi;
      const double column = theta * columns / mirror_model::twoPi;
      const double clampedRow = std::clamp(row, 0.0, lastRow);
      const auto i0 = static_cast<std::uint32_t>(clampedRow);
      const std::uint32_t i1 = std::min(i0 + 1, panorama.height - 1);
      const auto j0 = static_cast<std::uint32_t>(column) % panorama.width;
      const std::uint32_t j1 = (j0 + 1) % panorama.width;
      const double fy = clampedRow - i0;
      const double fx = column - std::floor(column);
      const std::uint8_t* r0 = panorama.pixels + i0 * panorama.stride;
      const std::uint8_t* r1 = panorama.pixels + i1 * panorama.stride;
      for (int k = 0; k < 3; ++k) {
        const double upper = r0[3 * j0 + k] * (1 - fx) + r0[3 * j1 + k] * fx;
        const double lower = r1[3 * j0 + k] * (1 - fx) + r1[3 * j1 + k] * fx;
        out[k] = static_cast<std::uint8_t>(std::lround(upper * (1 - fy) + lower * fy));
      }
    }
  }
  return true;
}

}  // namespace kelmira

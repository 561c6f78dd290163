#include "video/calibrated_frame_map.h"

#include <cmath>

#include "mirror/source_map.h"

namespace kelmira {

FrameMap calibratedFrameMap(const CalibratedPanorama& plan, std::uint32_t frameWidth, std::uint32_t frameHeight) {
  FrameMap map;
  if (frameWidth == 0 || frameHeight == 0 || plan.photo().width != static_cast<std::int32_t>(frameWidth) ||
      plan.photo().height != static_cast<std::int32_t>(frameHeight) || plan.width() <= 0 || plan.height() <= 0 ||
      plan.sphereTop() < 0) {
    return map;
  }
  const auto width = static_cast<std::uint32_t>(plan.width());
  const auto top = static_cast<std::uint32_t>(plan.sphereTop());
  const auto rows = static_cast<std::uint32_t>(plan.height());
  SourceMap source;
  if (!plan.buildSourceMap(source) || source.width() != width || source.height() != rows) return map;
  if (!map.allocate(width, top, rows)) return map;
  const double maxX = frameWidth - 1.0;
  const double maxY = frameHeight - 1.0;
  for (std::uint32_t i = 0; i < rows; ++i) {
    const float* fromX = source.xRow(i);
    const float* fromY = source.yRow(i);
    float* xs = map.xRow(top + i);
    float* ys = map.yRow(top + i);
    for (std::uint32_t j = 0; j < width; ++j) {
      // NaN fails both comparisons and stays NaN.
      if (fromX[j] >= 0 && fromY[j] >= 0 && fromX[j] <= maxX && fromY[j] <= maxY) {
        xs[j] = fromX[j];
        ys[j] = fromY[j];
      }
    }
  }
  return map;
}

}  // namespace kelmira

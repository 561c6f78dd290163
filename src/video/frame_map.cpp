#include "video/frame_map.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <new>

namespace kelmira {

bool FrameMap::allocate(std::uint32_t width, std::uint32_t bandTop, std::uint32_t bandRows) {
  *this = FrameMap();
  if (width < 2 || width > 65534 || width % 2 != 0 || bandRows == 0 || bandTop >= width / 2 ||
      bandRows > width / 2 - bandTop) {
    return false;
  }
  try {
    const std::size_t count = std::size_t{width} * bandRows;
    x_.assign(count, std::numeric_limits<float>::quiet_NaN());
    y_.assign(count, std::numeric_limits<float>::quiet_NaN());
  } catch (const std::bad_alloc&) {
    *this = FrameMap();
    return false;
  }
  width_ = width;
  bandTop_ = bandTop;
  bandRows_ = bandRows;
  return true;
}

void FrameMap::rowsBetween(std::uint32_t width, double top, double bottom, std::uint32_t& first,
                           std::uint32_t& count) {
  // The same rows a 360-degree photo of the panorama takes.
  const double rowsPerDegree = (width / 2) / 180.0;
  const double lastRow = static_cast<double>(width / 2) - 1;
  const double from = std::clamp(std::ceil((90.0 - top) * rowsPerDegree - 0.5), 0.0, lastRow + 1);
  const double to = std::clamp(std::floor((90.0 - bottom) * rowsPerDegree - 0.5), -1.0, lastRow);
  first = static_cast<std::uint32_t>(from);
  count = to >= from ? static_cast<std::uint32_t>(to - from + 1) : 0;
}

}  // namespace kelmira

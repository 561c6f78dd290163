#include "video/yuv_remap_table.h"

#include <algorithm>
#include <cmath>
#include <new>

namespace kelmira {

void RemapPlane::set(std::size_t index, double x, double y) {
  const double lastX = sourceWidth - 1.0;
  const double lastY = sourceHeight - 1.0;
  if (!(x >= 0 && y >= 0 && x <= lastX && y <= lastY)) {
    points[index] = kBlack;
    weights[index] = 0;
    return;
  }
  auto split = [](double v, std::uint32_t size, std::uint32_t& whole, std::uint32_t& fraction) {
    whole = static_cast<std::uint32_t>(v);
    fraction = static_cast<std::uint32_t>(std::lround((v - whole) * 256));
    if (fraction == 256) {
      ++whole;
      fraction = 0;
    }
    // The last column or row: its neighbour before it, with all the weight on this one.
    if (whole >= size - 1) {
      whole = size - 2;
      fraction = 256;
    }
  };
  std::uint32_t x0, fx, y0, fy;
  split(x, sourceWidth, x0, fx);
  split(y, sourceHeight, y0, fy);
  points[index] = static_cast<std::int32_t>(y0 << 16 | x0);
  weights[index] = fx | fy << 16;
}

bool YuvRemapTable::build(const FrameMap& map, DisplayRotation rotation, std::uint32_t storedWidth,
                          std::uint32_t storedHeight) {
  luma_ = {};
  chroma_ = {};
  if (map.empty() || storedWidth < 4 || storedHeight < 4 || storedWidth > 32767 || storedHeight > 32767) return false;
  const std::uint32_t width = map.width();
  RemapPlane luma;
  luma.width = width;
  luma.height = map.height();
  luma.sourceWidth = storedWidth;
  luma.sourceHeight = storedHeight;
  luma.top = map.bandTop();
  luma.rows = map.bandRows();
  RemapPlane chroma;
  chroma.width = width / 2;
  chroma.height = map.height() / 2;
  chroma.sourceWidth = (storedWidth + 1) / 2;
  chroma.sourceHeight = (storedHeight + 1) / 2;
  chroma.top = map.bandTop() / 2;
  chroma.rows = std::min((map.bandTop() + map.bandRows() - 1) / 2, chroma.height - 1) - chroma.top + 1;
  try {
    luma.points.resize(std::size_t{luma.width} * luma.rows);
    luma.weights.resize(luma.points.size());
    chroma.points.resize(std::size_t{chroma.width} * chroma.rows);
    chroma.weights.resize(chroma.points.size());
  } catch (const std::bad_alloc&) {
    return false;
  }

  const auto stored = [&](std::uint32_t row, std::uint32_t column, double& x, double& y) {
    if (!map.inBand(row)) return false;
    const float dx = map.xRow(row)[column];
    const float dy = map.yRow(row)[column];
    if (std::isnan(dx) || std::isnan(dy)) return false;
    rotation.storedPoint(dx, dy, storedWidth, storedHeight, x, y);
    return true;
  };
  for (std::uint32_t i = 0; i < luma.rows; ++i) {
    for (std::uint32_t j = 0; j < width; ++j) {
      double x = -1, y = -1;
      stored(luma.top + i, j, x, y);
      luma.set(std::size_t{i} * width + j, x, y);
    }
  }
  for (std::uint32_t i = 0; i < chroma.rows; ++i) {
    const std::uint32_t row = 2 * (chroma.top + i);
    for (std::uint32_t j = 0; j < chroma.width; ++j) {
      double sumX = 0, sumY = 0;
      int seen = 0;
      for (std::uint32_t k = 0; k < 4; ++k) {
        double x, y;
        if (stored(row + k / 2, 2 * j + k % 2, x, y)) {
          sumX += x;
          sumY += y;
          ++seen;
        }
      }
      const std::size_t index = std::size_t{i} * chroma.width + j;
      if (seen == 0) {
        chroma.set(index, -1, -1);
        continue;
      }
      // Chroma pixel k covers luma pixels 2k and 2k + 1: its middle is at luma 2k + 0.5.
      const double x = std::clamp((sumX / seen - 0.5) / 2, 0.0, chroma.sourceWidth - 1.0);
      const double y = std::clamp((sumY / seen - 0.5) / 2, 0.0, chroma.sourceHeight - 1.0);
      chroma.set(index, x, y);
    }
  }
  luma_ = std::move(luma);
  chroma_ = std::move(chroma);
  return true;
}

}  // namespace kelmira

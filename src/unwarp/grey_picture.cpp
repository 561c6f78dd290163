#include "unwarp/grey_picture.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>

#include "unwarp/luma_row.h"

namespace kelmira {

bool GreyPicture::sample(double x, double y, float& value) const {
  if (!(x >= 0 && y >= 0 && x <= width_ - 1 && y <= height_ - 1)) return false;
  const int x0 = std::min(static_cast<int>(x), width_ - 2 < 0 ? 0 : width_ - 2);
  const int y0 = std::min(static_cast<int>(y), height_ - 2 < 0 ? 0 : height_ - 2);
  const double fx = x - x0;
  const double fy = y - y0;
  const int x1 = std::min(x0 + 1, width_ - 1);
  const int y1 = std::min(y0 + 1, height_ - 1);
  const double top = at(x0, y0) + (at(x1, y0) - at(x0, y0)) * fx;
  const double bottom = at(x0, y1) + (at(x1, y1) - at(x0, y1)) * fx;
  value = static_cast<float>(top + (bottom - top) * fy);
  return true;
}

GreyPicture reduceToGrey(const SourceView& image, int factor) {
  const int width = static_cast<int>(image.width) / factor;
  const int height = static_cast<int>(image.height) / factor;
  GreyPicture picture(width, height);
  // A block of a picture longer than about 145,000 pixels holds more than 2^32 / 65280
  // pixels: 64-bit sums.
  std::vector<std::uint64_t> sums(width);
  // Every other row of a block is enough for the mean and halves the reading.
  const int rowStep = factor >= 4 ? 2 : 1;
  const int rowsRead = (factor + rowStep - 1) / rowStep;
  // Each row's weighted greys first, with vector instructions, then their block sums.
  std::vector<std::uint16_t> luma(std::size_t(width) * std::size_t(factor));
  for (int y = 0; y < height; ++y) {
    std::fill(sums.begin(), sums.end(), 0u);
    for (int dy = 0; dy < factor; dy += rowStep) {
      const std::uint8_t* row = image.pixels + (std::size_t(y) * std::size_t(factor) + std::size_t(dy)) * image.stride;
      if (image.bytesPerPixel == 3) {
        unwarp_detail::lumaRow(row, luma.size(), luma.data());
      } else {
        for (std::size_t i = 0; i < luma.size(); ++i) {
          const std::uint8_t* p = row + i * image.bytesPerPixel;
          luma[i] = static_cast<std::uint16_t>(77u * p[0] + 150u * p[1] + 29u * p[2]);
        }
      }
      const std::uint16_t* block = luma.data();
      for (int x = 0; x < width; ++x) {
        std::uint64_t sum = 0;
        for (int dx = 0; dx < factor; ++dx) sum += *block++;
        sums[x] += sum;
      }
    }
    const float scale = 1.0f / (256.0f * float(factor) * float(rowsRead));
    for (int x = 0; x < width; ++x) picture.at(x, y) = float(sums[x]) * scale;
  }
  GreyPicture smoothed(width, height);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      float sum = 0;
      float weight = 0;
      for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx) {
          const int xx = x + dx, yy = y + dy;
          if (xx < 0 || yy < 0 || xx >= width || yy >= height) continue;
          const float w = float((2 - std::abs(dx)) * (2 - std::abs(dy)));
          sum += w * picture.at(xx, yy);
          weight += w;
        }
      smoothed.at(x, y) = sum / weight;
    }
  }
  return smoothed;
}

}  // namespace kelmira

#include "image/pixel_block.h"

#include <new>

namespace kelmira {

std::size_t pixelBlockBytes(std::int64_t width, std::int64_t height) {
  if (width <= 0 || height <= 0) return 0;
  const auto w = static_cast<std::uint64_t>(width);
  const auto h = static_cast<std::uint64_t>(height);
  if (w > kMaxPixelBlockBytes / 3 || h > kMaxPixelBlockBytes / (3 * w)) return 0;
  return static_cast<std::size_t>(3 * w * h);
}

PixelBlock allocatePixelBlock(std::int64_t width, std::int64_t height) {
  const std::size_t bytes = pixelBlockBytes(width, height);
  if (bytes == 0) return nullptr;
  return PixelBlock(new (std::nothrow) std::uint8_t[bytes]());
}

}  // namespace kelmira

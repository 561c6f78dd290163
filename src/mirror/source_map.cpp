#include "mirror/source_map.h"

namespace kelmira {

bool SourceMap::allocate(std::uint32_t width, std::uint32_t height) {
  block_.reset();
  x_ = y_ = nullptr;
  width_ = height_ = 0;
  if (width == 0 || height == 0) return false;
  const std::uint64_t count = std::uint64_t{width} * height;
  // A block of 3-byte pixels in one row, with room for the two planes of 4-byte floats.
  block_ = allocatePixelBlock(static_cast<std::int64_t>((8 * count + 2) / 3), 1);
  if (!block_) return false;
  x_ = reinterpret_cast<float*>(block_.get());
  y_ = x_ + count;
  width_ = width;
  height_ = height;
  return true;
}

}  // namespace kelmira

#include "mirror/source_map.h"

#include <new>

namespace kelmira {

bool SourceMap::allocate(std::uint32_t width, std::uint32_t height) {
  x_.reset();
  y_.reset();
  width_ = height_ = 0;
  if (width == 0 || height == 0) return false;
  const std::size_t count = std::size_t{width} * height;
  x_.reset(new (std::nothrow) float[count]);
  y_.reset(new (std::nothrow) float[count]);
  if (!x_ || !y_) {
    x_.reset();
    y_.reset();
    return false;
  }
  width_ = width;
  height_ = height;
  return true;
}

}  // namespace kelmira

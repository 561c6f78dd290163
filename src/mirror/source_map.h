#pragma once

#include <cstdint>

#include "image/pixel_block.h"

namespace kelmira {

// For each pixel of a panorama, the point of the round photograph it shows: a plane of x
// and a plane of y, rows packed, top row first; NaN where the mirror sees nothing.
class SourceMap {
 public:
  SourceMap() = default;
  // False, and empty, when the size is 0 or the memory is not to be had.
  bool allocate(std::uint32_t width, std::uint32_t height);

  std::uint32_t width() const { return width_; }
  std::uint32_t height() const { return height_; }
  bool empty() const { return width_ == 0; }
  float* xRow(std::uint32_t row) { return x_ + std::size_t{row} * width_; }
  float* yRow(std::uint32_t row) { return y_ + std::size_t{row} * width_; }
  const float* xRow(std::uint32_t row) const { return x_ + std::size_t{row} * width_; }
  const float* yRow(std::uint32_t row) const { return y_ + std::size_t{row} * width_; }

 private:
  std::uint32_t width_ = 0;
  std::uint32_t height_ = 0;
  // Both planes in one block made as the pictures' are: on huge pages, so a map of many
  // megabytes costs a few page faults, not thousands.
  PixelBlock block_;
  float* x_ = nullptr;
  float* y_ = nullptr;
};

}  // namespace kelmira

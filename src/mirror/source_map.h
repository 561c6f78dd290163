#pragma once

#include <cstdint>
#include <memory>

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
  float* xRow(std::uint32_t row) { return x_.get() + std::size_t{row} * width_; }
  float* yRow(std::uint32_t row) { return y_.get() + std::size_t{row} * width_; }
  const float* xRow(std::uint32_t row) const { return x_.get() + std::size_t{row} * width_; }
  const float* yRow(std::uint32_t row) const { return y_.get() + std::size_t{row} * width_; }

 private:
  std::uint32_t width_ = 0;
  std::uint32_t height_ = 0;
  std::unique_ptr<float[]> x_;
  std::unique_ptr<float[]> y_;
};

}  // namespace kelmira

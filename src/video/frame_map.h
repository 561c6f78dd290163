#pragma once

#include <cstdint>
#include <vector>

namespace kelmira {

// For each pixel of an equirectangular frame, width x width / 2, the point of the round
// video frame it shows (pixels as displayed, the rotation tag applied, pixel centres at
// whole numbers). Only the band of rows the mirror sees is held: the rows above and below
// it, and points marked NaN within it, are black. Row y looks at the elevation
// 90 - (y + 0.5) x 180 / height degrees, column j at azimuth j x 360 / width.
//
// Built once per video, from whatever knows the mirror: the described mirror's ring
// (ringFrameMap) or any other model that can say where a direction is seen.
class FrameMap {
 public:
  FrameMap() = default;
  // False, and empty, for a width that is not even and from 2 to 65534, or band rows
  // outside the frame.
  bool allocate(std::uint32_t width, std::uint32_t bandTop, std::uint32_t bandRows);

  std::uint32_t width() const { return width_; }
  std::uint32_t height() const { return width_ / 2; }
  std::uint32_t bandTop() const { return bandTop_; }
  std::uint32_t bandRows() const { return bandRows_; }
  bool empty() const { return bandRows_ == 0; }
  bool inBand(std::uint32_t row) const { return row >= bandTop_ && row - bandTop_ < bandRows_; }
  // Rows of the frame, bandTop() to bandTop() + bandRows() - 1.
  float* xRow(std::uint32_t row) { return x_.data() + std::size_t{row - bandTop_} * width_; }
  float* yRow(std::uint32_t row) { return y_.data() + std::size_t{row - bandTop_} * width_; }
  const float* xRow(std::uint32_t row) const { return x_.data() + std::size_t{row - bandTop_} * width_; }
  const float* yRow(std::uint32_t row) const { return y_.data() + std::size_t{row - bandTop_} * width_; }

  // The elevation row y looks at, in degrees.
  double elevationOfRow(double y) const { return 90.0 - (y + 0.5) * 180.0 / height(); }
  // The rows whose middles lie from `top` down to `bottom` degrees: first and count.
  static void rowsBetween(std::uint32_t width, double top, double bottom, std::uint32_t& first,
                          std::uint32_t& count);

 private:
  std::uint32_t width_ = 0;
  std::uint32_t bandTop_ = 0;
  std::uint32_t bandRows_ = 0;
  std::vector<float> x_;
  std::vector<float> y_;
};

}  // namespace kelmira

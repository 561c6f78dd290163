#pragma once

#include <vector>

#include "unwarp/unwarp_ring.h"

namespace kelmira {

// A grey picture of floats, with bilinear reading that says when a point is outside.
class GreyPicture {
 public:
  GreyPicture(int width, int height) : width_(width), height_(height), values_(std::size_t(width) * height) {}
  int width() const { return width_; }
  int height() const { return height_; }
  float& at(int x, int y) { return values_[std::size_t(y) * width_ + x]; }
  float at(int x, int y) const { return values_[std::size_t(y) * width_ + x]; }
  bool sample(double x, double y, float& value) const;
  const std::vector<float>& values() const { return values_; }

 private:
  int width_;
  int height_;
  std::vector<float> values_;
};

// The photograph reduced by `factor` in both directions (rounded down): each pixel the
// mean luminance, 0 to 255, of its block of a 3-byte-per-pixel picture, then smoothed once
// so that noise and JPEG blocks fade.
GreyPicture reduceToGrey(const SourceView& image, int factor);

}  // namespace kelmira

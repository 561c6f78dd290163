#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "unwarp/ring_geometry.h"

namespace kelmira::unwarp_detail {

// The bilinear blend of one channel, in the order of operations every path keeps.
inline std::uint8_t blend(int av, int bv, int cv, int dv, double fx, double fy) {
  const double v = av + (bv - av) * fx + (cv - av) * fy + (av - bv - cv + dv) * fx * fy;
  return static_cast<std::uint8_t>(static_cast<int>(v));
}

// One pixel at a time; kFixedBytes is the pixel size when it is known at compile time.
template <std::size_t kFixedBytes>
class PlainSampler {
 public:
  PlainSampler(const std::uint8_t* source, std::size_t bytesPerPixel)
      : source_(source), bytesPerPixel_(kFixedBytes != 0 ? kFixedBytes : bytesPerPixel) {}

  void sample(const SamplePoints& points, std::uint32_t first, std::uint32_t end, std::uint8_t* out) const {
    const std::size_t p = kFixedBytes != 0 ? kFixedBytes : bytesPerPixel_;
    for (std::uint32_t i = first; i < end; ++i, out += p) {
      if (!points.inside[i]) {
        std::memset(out, 0, p);
        continue;
      }
      const std::uint8_t* a = source_ + points.corner[i];
      const std::int64_t r = points.right[i];
      const std::int64_t b = points.below[i];
      for (std::size_t k = 0; k < p; ++k) out[k] = blend(a[k], a[k + r], a[k + b], a[k + r + b], points.fx[i], points.fy[i]);
    }
  }

  void sample(const SamplePoints& points, std::uint8_t* out) const { sample(points, 0, points.count, out); }

 private:
  const std::uint8_t* source_;
  std::size_t bytesPerPixel_;
};

}  // namespace kelmira::unwarp_detail

#pragma once

#include <cstdint>

#include "unwarp/ring_geometry.h"

namespace kelmira::unwarp_detail {

// Four 3-byte pixels at once: each corner of a pixel is read as one word of four bytes,
// and every channel of the four is blended in four double lanes with the plain arithmetic.
// Only for processors with AVX2.
class Avx2Sampler {
 public:
  // `sourceBytes` is how far from `source` reads may reach.
  Avx2Sampler(const std::uint8_t* source, std::int64_t sourceBytes) : source_(source), sourceBytes_(sourceBytes) {}

  void sample(const SamplePoints& points, std::uint8_t* out) const;

 private:
  const std::uint8_t* source_;
  std::int64_t sourceBytes_;
};

}  // namespace kelmira::unwarp_detail

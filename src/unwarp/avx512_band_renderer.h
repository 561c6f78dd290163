#pragma once

#include <cstdint>

#include "unwarp/ring_geometry.h"

namespace kelmira::unwarp_detail {

// Renders bands of rows of 3-byte pixels eight at a time with AVX-512: the sample points are
// worked out in eight double lanes, both corners of a row of the source read as one
// 8-byte word, and each channel blended with the plain arithmetic. A band goes column
// group by column group, down all its rows, so the source pixels it reads stay cached.
// Groups whose reads would reach past the source, and columns short of a whole group at
// the right, go the plain way.
class Avx512BandRenderer {
 public:
  // Whether the processor has the instructions, and the source is one this path takes.
  static bool usable(const SourceView& source);

  explicit Avx512BandRenderer(const RingGeometry& geometry);

  void renderBand(std::uint32_t firstRow, std::uint32_t rowCount) const;

 private:
  const RingGeometry& geometry_;
  std::int64_t lastWordOffset_;  // the furthest offset an 8-byte read may start at
};

}  // namespace kelmira::unwarp_detail

#pragma once

#include <cstdint>

#include "unwarp/ring_geometry.h"

namespace kelmira::unwarp_detail {

// Renders `rowCount` output rows from `firstRow` with the widest vector instructions the
// processor has (or those KELMIRA_SIMD forces): a group of eight columns at a time, down
// all the band's rows, with the source pixels of the groups ahead asked for early. Byte for
// byte the same on every target. The source must have 3-byte pixels.
void renderUnwarpBand(const RingGeometry& geometry, std::uint32_t firstRow, std::uint32_t rowCount);

}  // namespace kelmira::unwarp_detail

#pragma once

#include <cstddef>
#include <cstdint>

#include "mirror/source_map.h"

namespace kelmira::mirror_detail {

// The round photograph a remap reads: 3-byte pixels.
struct RemapSource {
  const std::uint8_t* pixels;
  std::uint32_t width;
  std::uint32_t height;
  std::size_t stride;
};

// Rows firstRow to firstRow + rowCount of a remap into `panorama` (3-byte pixels, rows
// packed, as wide as the map): each pixel the source sampled bilinearly at the map's point
// as the unwarp samples, black outside the source or at NaN. A group of eight columns at a
// time down all the rows, with the widest vector instructions the processor has (or those
// KELMIRA_SIMD forces); byte for byte the same on every target.
void remapBand(const RemapSource& source, const SourceMap& map, std::uint32_t firstRow, std::uint32_t rowCount,
               std::uint8_t* panorama);

}  // namespace kelmira::mirror_detail

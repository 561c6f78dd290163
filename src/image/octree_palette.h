#pragma once

#include <array>
#include <cstdint>

namespace kelmira {

// Reduces the colours of a 3-byte-per-pixel block to at most colourCount (1..256, values
// outside are brought into that range) by octree reduction. table receives 256 entries
// of blue, green, red, 0; entries past the colours found are zero.
bool reducePalette(const std::uint8_t* pixels, std::int32_t width, std::int32_t height, std::int32_t colourCount,
                   std::array<std::uint8_t, 1024>& table);

}  // namespace kelmira

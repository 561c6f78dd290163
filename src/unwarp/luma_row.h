#pragma once

#include <cstddef>
#include <cstdint>

namespace kelmira::unwarp_detail {

// 77 r + 150 g + 29 b (256 x the luminance, up to 65280) of each of `count` 3-byte pixels,
// with the vector instructions the processor has.
void lumaRow(const std::uint8_t* pixels, std::size_t count, std::uint16_t* luma);

}  // namespace kelmira::unwarp_detail

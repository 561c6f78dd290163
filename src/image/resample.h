#pragma once

#include <cstdint>

namespace kelmira {

// Bilinear resampling of a 3-byte-per-pixel block into a destination block of another
// size. Code 5 for a missing block or a size that is not positive, 1 when the working
// rows cannot be had, 14 on abort (progress after each destination row).
bool resample(const std::uint8_t* src, std::int32_t srcWidth, std::int32_t srcHeight, std::uint8_t* dst,
              std::int32_t dstWidth, std::int32_t dstHeight);

}  // namespace kelmira

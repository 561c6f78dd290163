#pragma once

#include <cstdint>

namespace kelmira {

// Where destination column or row `index` reads the source when `sourceCount` columns or
// rows are resampled to `destinationCount`: index x sourceCount / destinationCount, held
// at the last one. The two source samples around it are blended by its fraction.
inline double resamplePosition(std::int32_t index, std::int32_t sourceCount, std::int32_t destinationCount) {
  const double step = static_cast<double>(sourceCount) / static_cast<double>(destinationCount);
  const double last = sourceCount - 1;
  const double at = index * step;
  return at < last ? at : last;
}

// Bilinear resampling of a 3-byte-per-pixel block into a destination block of another
// size. ImageError::BadParameter for a missing block or a size that is not positive,
// OutOfMemory when the working rows cannot be had, Aborted on abort (progress after each
// destination row).
bool resample(const std::uint8_t* src, std::int32_t srcWidth, std::int32_t srcHeight, std::uint8_t* dst,
              std::int32_t dstWidth, std::int32_t dstHeight);

}  // namespace kelmira

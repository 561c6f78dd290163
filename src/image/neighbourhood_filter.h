#pragma once

#include <cstdint>

namespace kelmira {

enum class FilterKind { Sharpen = 0, Soften = 1, Median = 2 };

// The 3x3 filter from one 3-byte-per-pixel block into another of the same size; edge
// rows and columns are repeated outward. level (clamped to 0..100) sets the strength of
// Sharpen and Soften; Median ignores it. ImageError::BadParameter when src and dst are the same block.
bool sharpen(const std::uint8_t* src, std::uint8_t* dst, std::int32_t width, std::int32_t height, std::int32_t level,
             FilterKind kind);

}  // namespace kelmira

#pragma once

#include <cstddef>
#include <cstdint>

namespace kelmira::image_detail {

// One byte of the sharpen filter: centre c, the sum n of its eight neighbours, strength k.
inline std::uint8_t sharpenByte(int c, int n, double k) {
  const double v = c - k * (n - 8 * c);
  return static_cast<std::uint8_t>(static_cast<int>(v < 0.0 ? 0.0 : (255.0 < v ? 255.0 : v)));
}

// The sharpen filter over one row of `width` 3-byte pixels, from the rows above (`up`),
// itself (`mid`) and below (`down`), with the vector instructions the processor has:
// the same bytes as sharpenByte a byte at a time. The first and last column repeat outward.
void sharpenRow(const std::uint8_t* up, const std::uint8_t* mid, const std::uint8_t* down, std::uint8_t* out,
                std::size_t width, double k);

}  // namespace kelmira::image_detail

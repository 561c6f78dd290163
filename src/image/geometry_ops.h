#pragma once

#include <cstdint>

namespace kelmira {

// Pixel x of every row of a 3-byte-per-pixel block goes to column width - 1 - x.
bool mirrorRows(std::uint8_t* pixels, std::int32_t width, std::int32_t height);

// Turns a block of rowCount rows of rowBytes bytes upside down.
bool flipRows(std::uint8_t* pixels, std::int32_t rowBytes, std::int32_t rowCount);

// Quarter turns of a 3-byte-per-pixel block in place: mode 0 clockwise, 1 half a turn,
// 2 counter-clockwise. After modes 0 and 2 the block is height pixels wide and width
// rows high. ImageError::OutOfMemory (pixels untouched) when the working copy cannot be had.
bool rotate(std::uint8_t* pixels, std::int32_t width, std::int32_t height, int mode);

// Copies columns left..right-1 of rows top..bottom-1 of the source into dst as a packed
// block. The rectangle must lie inside the source and dst must be another block.
bool copyRect(const std::uint8_t* src, std::uint8_t* dst, std::int32_t srcWidth, std::int32_t srcHeight,
              std::int32_t bytesPerPixel, std::int32_t left, std::int32_t top, std::int32_t right, std::int32_t bottom);

}  // namespace kelmira

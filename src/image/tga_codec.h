#pragma once

#include <cstdint>

#include "image/image_stream.h"
#include "image/pixel_block.h"

namespace kelmira {

// Decodes a TGA file of types 1, 2, 3 (plain) and 9, 10, 11 (run-length) at 8, 15,
// 16, 24 or 32 bits, with or without a colour map, stored top or bottom row first.
// Any failure, also in the middle of the pixel data, returns no block.
PixelBlock readTga(ImageStream& stream, std::int32_t& width, std::int32_t& height);

}  // namespace kelmira

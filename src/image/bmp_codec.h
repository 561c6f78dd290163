#pragma once

#include <cstdint>

#include "image/image_stream.h"
#include "image/pixel_block.h"

namespace kelmira {

// Decodes a Windows bitmap (1, 4, 8, 16, 24 or 32 bits, RLE4 and RLE8). On a failure
// inside the pixel data the rows decoded so far come back together with the code.
PixelBlock readBmp(ImageStream& stream, std::int32_t& width, std::int32_t& height);

// Writes a 24-bit bottom-up bitmap; returns the file's length, 0 on failure.
std::int64_t writeBmp(ImageStream& stream, const std::uint8_t* pixels, std::int32_t width,
                      std::int32_t height);

}  // namespace kelmira

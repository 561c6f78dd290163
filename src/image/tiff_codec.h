#pragma once

#include <cstdint>

#include "image/image_stream.h"
#include "image/pixel_block.h"

namespace kelmira {

// Decodes any TIFF that libtiff can turn into an RGBA raster. Unlike the other
// decoders it returns no block at all when the pixel data fails.
PixelBlock readTiff(ImageStream& stream, std::int32_t& width, std::int32_t& height);

// Writes an uncompressed 8-bit RGB TIFF; returns the file's length, 0 on failure.
std::int64_t writeTiff(ImageStream& stream, const std::uint8_t* pixels, std::int32_t width,
                       std::int32_t height);

}  // namespace kelmira

#pragma once

#include <cstdint>

#include "image/image_stream.h"
#include "image/pixel_block.h"

namespace kelmira {

// Decodes a run-length PCX file of versions 0, 2, 3 and 5: 1, 2, 4 or 8 bits in up to
// four planes giving at most 8 bits of palette index, or 3 planes of 8 bits. On a
// failure inside the pixel data the lines decoded so far come back with the code.
PixelBlock readPcx(ImageStream& stream, std::int32_t& width, std::int32_t& height);

}  // namespace kelmira

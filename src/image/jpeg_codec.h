#pragma once

#include <cstdint>
#include <string_view>

#include "image/image_stream.h"
#include "image/pixel_block.h"
#include "image/row_gate.h"

namespace kelmira {

// Decodes a JPEG (colour, greyscale or CMYK). A broken or truncated scan returns the
// rows decoded so far together with the code.
PixelBlock readJpeg(ImageStream& stream, std::int32_t& width, std::int32_t& height);

// Writes an RGB JPEG of the given quality (0..100); returns the file's length, 0 on
// failure. An XMP packet, when given, goes into the file's APP1 segment (at most 65,000
// bytes; a longer one fails with ImageError::BadParameter). With `rowsReady` each row is read once the gate
// has opened it, and a gate closed short of the picture fails with ImageError::Aborted.
std::int64_t writeJpeg(ImageStream& stream, const std::uint8_t* pixels, std::int32_t width,
                       std::int32_t height, int quality, bool progressive, std::string_view xmpPacket = {},
                       const RowGate* rowsReady = nullptr);

}  // namespace kelmira

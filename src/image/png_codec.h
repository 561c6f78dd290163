#pragma once

#include <cstdint>
#include <string>

#include "image/image_stream.h"
#include "image/pixel_block.h"

namespace kelmira {

// Decodes any PNG to 24-bit colour: palettes and grey expanded, 16-bit samples cut
// to 8, alpha and transparency flattened against the file's bKGD colour or black.
// Any libpng failure, also in the middle of the pixel data, returns no block.
PixelBlock readPng(ImageStream& stream, std::int32_t& width, std::int32_t& height);

// The colour profile of a PNG's iCCP chunk, uncompressed; empty when it has none. A chunk
// libpng refuses (a bad CRC, a profile that does not check out) counts as damaged.
std::string readPngColourProfile(ImageStream& stream, bool& damaged);

}  // namespace kelmira

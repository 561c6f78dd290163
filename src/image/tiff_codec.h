#pragma once

#include <cstdint>
#include <string>

#include "image/embedded_metadata.h"
#include "image/image_stream.h"
#include "image/pixel_block.h"

namespace kelmira {

// Decodes any TIFF that libtiff can turn into an RGBA raster. Unlike the other
// decoders it returns no block at all when the pixel data fails.
PixelBlock readTiff(ImageStream& stream, std::int32_t& width, std::int32_t& height);

// The colour profile of a TIFF's first picture; empty when it has none (or it is no TIFF).
std::string readTiffColourProfile(ImageStream& stream, bool& damaged);

// Writes an uncompressed 8-bit RGB TIFF with the metadata's colour profile; returns the
// file's length, 0 on failure. Its other blocks are placed by embedTiffMetadata.
std::int64_t writeTiff(ImageStream& stream, const std::uint8_t* pixels, std::int32_t width, std::int32_t height,
                       const EmbeddedMetadata& metadata = EmbeddedMetadata::none());

}  // namespace kelmira

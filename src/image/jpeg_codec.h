#pragma once

#include <cstdint>
#include <string>

#include "image/embedded_metadata.h"
#include "image/image_stream.h"
#include "image/pixel_block.h"
#include "image/row_gate.h"

namespace kelmira {

// Decodes a JPEG (colour, greyscale or CMYK). A broken or truncated scan returns the
// rows decoded so far together with the code.
PixelBlock readJpeg(ImageStream& stream, std::int32_t& width, std::int32_t& height);

// The metadata a JPEG carries ahead of its picture, as stored: the first Exif and XMP APP1
// segments (after their headers), every Photoshop APP13 segment's resources in order, and
// the colour profile put together from its APP2 chunks.
struct JpegMetadataSegments {
  std::string exif;
  std::string xmp;
  std::string photoshop;
  std::string iccProfile;
  bool iccDamaged = false;  // chunks there, but they do not make one profile
};

// Reads the segments of a JPEG up to its picture data; false when it is no JPEG.
bool readJpegMetadataSegments(ImageStream& stream, JpegMetadataSegments& segments);

// The colour profile of a JPEG; empty when it has none.
std::string readJpegColourProfile(ImageStream& stream, bool& damaged);

// Writes an RGB JPEG of the given quality (0..100); returns the file's length, 0 on
// failure. The metadata goes after the JFIF header: EXIF and XMP each in an APP1
// segment, the colour profile in APP2 chunks, IPTC in a Photoshop APP13 segment; a block
// larger than its segment holds (embedded_metadata.h) fails with ImageError::BadParameter.
// With `rowsReady` each row is read once the gate has opened it, and a gate closed short
// of the picture fails with ImageError::Aborted.
std::int64_t writeJpeg(ImageStream& stream, const std::uint8_t* pixels, std::int32_t width,
                       std::int32_t height, int quality, bool progressive,
                       const EmbeddedMetadata& metadata = EmbeddedMetadata::none(), const RowGate* rowsReady = nullptr);

}  // namespace kelmira

#pragma once

#include <cstdint>

#include "image/embedded_metadata.h"
#include "image/file_type.h"
#include "image/image_stream.h"
#include "image/pixel_block.h"
#include "image/row_gate.h"

namespace kelmira {

// Runs the decoder of the type's row in the format table (file_format.h). Types without a decoder here (metafiles are read from
// their path, and movies not at all) decode nothing and leave the last error as it
// was, so a missing block alone never means success.
PixelBlock decodeStream(ImageStream& stream, FileType type, std::int32_t& width, std::int32_t& height);

// Runs the encoder of the type (JPEG at quality 100, progressive) with the metadata it
// places itself; other types write nothing, return 0 and leave the last error as it was.
// With `rowsReady` the encoder reads each row only once the gate has opened it
// (ImageError::Aborted when it closes short).
std::int64_t encodeStream(ImageStream& stream, FileType type, const std::uint8_t* pixels, std::int32_t width,
                          std::int32_t height, const RowGate* rowsReady = nullptr,
                          const EmbeddedMetadata& metadata = EmbeddedMetadata::none());

}  // namespace kelmira

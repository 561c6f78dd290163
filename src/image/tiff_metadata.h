#pragma once

#include <string>

#include "image/embedded_metadata.h"
#include "image/image_error.h"

namespace kelmira {

// Puts the EXIF, IPTC and XMP blocks into a complete TIFF written by writeTiff (which placed
// the colour profile itself). The file's own description of its picture (size, strips,
// samples, resolution) stays; every other EXIF field comes from the block, the software
// included. ImageError::TiffInternal when the file cannot be so written.
ImageErrorCode embedTiffMetadata(const std::string& path, const EmbeddedMetadata& metadata);

}  // namespace kelmira

#pragma once

#include <string>
#include <vector>

#include "image/file_type.h"
#include "metadata/photo_metadata.h"

namespace kelmira {

// Reads what a photograph of `type` says of itself: EXIF, IPTC and XMP with Exiv2 (from
// JPEG, TIFF and PNG), the colour profile with the format's codec. A block that cannot be
// read is left out and a sentence saying so, naming the file by `name`, is added to
// `warnings`; nothing here ever fails the picture itself.
PhotoMetadata readPhotoMetadata(const std::string& path, FileType type, const std::string& name,
                                std::vector<std::string>& warnings);

}  // namespace kelmira

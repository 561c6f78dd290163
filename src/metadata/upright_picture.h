#pragma once

#include <string>
#include <vector>

#include "image/dib_image.h"
#include "image/file_type.h"
#include "metadata/photo_metadata.h"

namespace kelmira {

// What the window and the command line do with every picture they open: read its metadata
// (readPhotoMetadata, its warnings added to `warnings`) and turn the picture upright as its
// orientation says, so the ring and the panorama's directions are those of the upright
// picture. ImageError::OutOfMemory, with the picture as decoded, when it cannot be turned.
ImageErrorCode turnUprightAsItSays(DibImage& picture, const std::string& path, FileType type,
                                   PhotoMetadata& metadata, std::vector<std::string>& warnings);

}  // namespace kelmira

#include "metadata/upright_picture.h"

#include <filesystem>

#include "image/upright.h"
#include "metadata/photo_metadata_reader.h"

namespace kelmira {

ImageErrorCode turnUprightAsItSays(DibImage& picture, const std::string& path, FileType type,
                                   PhotoMetadata& metadata, std::vector<std::string>& warnings) {
  metadata = readPhotoMetadata(path, type, std::filesystem::path(path).filename().string(), warnings);
  return turnUpright(picture, orientationAfterDecoding(type, metadata.orientation));
}

}  // namespace kelmira

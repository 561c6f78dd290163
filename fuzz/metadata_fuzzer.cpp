// Arbitrary bytes as a photograph's file, read for its metadata as the JPEG, TIFF or PNG its
// first bytes say (else as the last byte picks), then made into what a result carries and written into a small JPEG and
// TIFF, as every result does with what it read.
#include <unistd.h>

#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "image/dib_image.h"
#include "image/file_type.h"
#include "metadata/photo_metadata_reader.h"
#include "metadata/result_metadata.h"

namespace {

constexpr std::array<kelmira::FileType, 3> kTypes{kelmira::FileTypeJpeg, kelmira::FileTypeTiff,
                                                  kelmira::FileTypePng};

std::string& workFolder() {
  static std::string folder;
  return folder;
}

void removeWorkFolder() {
  std::error_code ignored;
  std::filesystem::remove_all(workFolder(), ignored);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  const std::filesystem::path base = std::filesystem::exists("/dev/shm") ? "/dev/shm" : std::filesystem::temp_directory_path();
  std::string pattern = (base / "kelmira-fuzz-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) std::abort();
  workFolder() = pattern;
  std::atexit(removeWorkFolder);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string path = workFolder() + "/photo";
  std::FILE* out = std::fopen(path.c_str(), "wb");
  if (out == nullptr) std::abort();
  if (size != 0 && std::fwrite(data, 1, size, out) != size) std::abort();
  std::fclose(out);
  kelmira::FileType type = kelmira::fileTypeFromContent(path);
  if (type != kelmira::FileTypeJpeg && type != kelmira::FileTypeTiff && type != kelmira::FileTypePng) {
    type = size == 0 ? kelmira::FileTypeJpeg : kTypes[data[size - 1] % kTypes.size()];
  }

  std::vector<std::string> warnings;
  const kelmira::PhotoMetadata photo = kelmira::readPhotoMetadata(path, type, "photo", warnings);
  if (photo.orientation < 1 || photo.orientation > 8) std::abort();
  const kelmira::EmbeddedMetadata result = kelmira::metadataForResult(photo, 16, 8, "");
  if (!result.empty()) {
    kelmira::DibImage picture;
    if (picture.allocate(16, 8) != kelmira::ImageError::None) std::abort();
    // Blocks too large for their segments are left out before any writer sees them.
    if (picture.saveToFile(path + ".jpg", kelmira::FileTypeJpeg, nullptr, result) != kelmira::ImageError::None) {
      std::abort();
    }
    picture.saveToFile(path + ".tif", kelmira::FileTypeTiff, nullptr, result);
  }
  std::remove(path.c_str());
  return 0;
}

// Arbitrary bytes in a file: the type comes from the content, or else from an extension
// picked by the last byte, and the file is decoded as that type.
#include <unistd.h>

#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <utility>

#include "fuzz_support.h"
#include "image/codec_dispatch.h"
#include "image/file_type.h"
#include "image/image_stream.h"
#include "image/metafile_reader.h"

namespace {

constexpr std::array<const char*, 12> kExtensions{"",     ".bmp", ".JPG", ".jpeg", ".png", ".Pcx",
                                                  ".tif", ".TIFF", ".wmf", ".emf",  ".mov", ".tga"};

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
  kelmira::fuzz::installProgress();
  const char* extension = size == 0 ? "" : kExtensions[data[size - 1] % kExtensions.size()];
  const std::string path = workFolder() + "/input" + extension;
  std::FILE* out = std::fopen(path.c_str(), "wb");
  if (out == nullptr) std::abort();
  if (size != 0 && std::fwrite(data, 1, size, out) != size) std::abort();
  std::fclose(out);

  const kelmira::FileType type = kelmira::identifyFileType(path);
  if (kelmira::lastError() != kelmira::ImageError::None) std::abort();
  std::int32_t width = -1;
  std::int32_t height = -1;
  kelmira::PixelBlock pixels;
  if (type == kelmira::FileTypeWmf || type == kelmira::FileTypeEmf) {
    pixels = kelmira::readMetafile(path, 100, 100, {128, 128, 128}, width, height);
  } else {
    std::unique_ptr<kelmira::ImageStream> stream = kelmira::openForReading(path);
    if (!stream) std::abort();
    pixels = kelmira::decodeStream(*stream, type, width, height);
    kelmira::closeStream(std::move(stream));
  }
  kelmira::fuzz::checkResult(pixels, width, height);
  std::remove(path.c_str());
  return 0;
}

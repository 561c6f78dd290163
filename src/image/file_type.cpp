#include "image/file_type.h"

#include <array>
#include <string_view>

#include "image/file_format.h"
#include "image/image_stream.h"
#include "image/layer_state.h"

namespace kelmira {

namespace {

// Enough for every signature, the EMF one at offset 40 included.
constexpr std::size_t kSignatureBytes = 44;

}  // namespace

FileType fileTypeFromContent(const std::string& path) {
  LayerCall call;
  std::unique_ptr<ImageStream> stream = openForReading(path);
  if (!stream) return FileTypeNone;
  std::array<char, kSignatureBytes> head{};
  const bool complete = stream->readExact(head.data(), head.size());
  closeStream(std::move(stream));
  if (!complete) return FileTypeNone;

  const std::string_view bytes(head.data(), head.size());
  for (const FileFormat& format : fileFormats()) {
    for (const FileSignature& signature : format.signatures) {
      if (!signature.bytes.empty() && bytes.substr(signature.offset, signature.bytes.size()) == signature.bytes) {
        return format.type;
      }
    }
  }
  return FileTypeNone;
}

FileType fileTypeFromExtension(const std::string& path) {
  LayerCall call;
  for (const FileFormat& format : fileFormats()) {
    for (const std::string_view extension : format.extensions) {
      if (hasExtension(path, extension)) return format.type;
    }
  }
  return FileTypeNone;
}

FileType identifyFileType(const std::string& path) {
  LayerCall call;
  const FileType byContent = fileTypeFromContent(path);
  return byContent != FileTypeNone ? byContent : fileTypeFromExtension(path);
}

const char* fileTypeName(FileType type) {
  const FileFormat* format = fileFormatOf(type);
  return format != nullptr ? format->name : "not recognised";
}

}  // namespace kelmira

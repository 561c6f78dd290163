#include "image/file_type.h"

#include <array>
#include <cctype>
#include <string_view>

#include "image/file_format.h"
#include "image/image_stream.h"
#include "image/layer_state.h"

namespace kelmira {

namespace {

// Enough for every signature, the EMF one at offset 40 included.
constexpr std::size_t kSignatureBytes = 44;

bool equalIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::toupper(static_cast<unsigned char>(a[i])) != std::toupper(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return true;
}

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
  const std::size_t dot = path.rfind('.');
  if (dot == std::string::npos) return FileTypeNone;
  const std::string_view extension = std::string_view(path).substr(dot);
  for (const FileFormat& format : fileFormats()) {
    for (const std::string_view known : format.extensions) {
      if (!known.empty() && equalIgnoringCase(extension, known)) return format.type;
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

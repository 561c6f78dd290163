#include "image/file_type.h"

#include <array>
#include <cctype>
#include <cstring>
#include <string_view>

#include "image/image_stream.h"
#include "image/layer_state.h"

namespace kelmira {

namespace {

// What a file's first bytes say it is; an extension entry points at one of these.
enum SignatureKind : std::int32_t {
  SignatureNone = -1,
  SignatureEmpty = 0,
  SignatureBmp = 1,
  SignatureGif = 2,
  SignatureJpeg = 3,
  SignaturePng = 4,
  SignaturePcx = 5,
  SignatureTiff = 6,
  SignatureWmf = 7,
  SignatureEmf = 8,
  SignatureMovie = 9,
};

struct ExtensionEntry {
  std::string_view extension;
  FileType type;
  SignatureKind kind;
};

// Searched in this order; the first entry matches a path without an extension.
constexpr std::array<ExtensionEntry, 12> kExtensions{{
    {"", FileTypeNone, SignatureEmpty},
    {".BMP", FileTypeBmp, SignatureBmp},
    {".JPG", FileTypeJpeg, SignatureJpeg},
    {".JPEG", FileTypeJpeg, SignatureJpeg},
    {".PNG", FileTypePng, SignaturePng},
    {".PCX", FileTypePcx, SignaturePcx},
    {".TIF", FileTypeTiff, SignatureTiff},
    {".TIFF", FileTypeTiff, SignatureTiff},
    {".WMF", FileTypeWmf, SignatureWmf},
    {".EMF", FileTypeEmf, SignatureEmf},
    {".MOV", FileTypeMovie, SignatureMovie},
    {".TGA", FileTypeTga, SignatureNone},
}};

struct Signature {
  SignatureKind kind;
  std::size_t offset;
  std::string_view bytes;
};

using namespace std::string_view_literals;

// Tested in this order; the first match wins, so the longer JPEG form goes first.
constexpr std::array<Signature, 15> kSignatures{{
    {SignatureBmp, 0, "BM"sv},
    {SignatureGif, 0, "GIF89a"sv},
    {SignatureGif, 0, "GIF87a"sv},
    {SignatureJpeg, 0, "\xFF\xD8\xFF\xE0"sv},
    {SignatureJpeg, 0, "\xFF\xD8\xFF"sv},
    {SignaturePcx, 0, "\x0A\x00"sv},
    {SignaturePcx, 0, "\x0A\x02"sv},
    {SignaturePcx, 0, "\x0A\x03"sv},
    {SignaturePcx, 0, "\x0A\x05"sv},
    {SignatureTiff, 0, "MM"sv},
    {SignatureTiff, 0, "II"sv},
    {SignaturePng, 0, "\x89PNG\x0D\x0A\x1A\x0A"sv},
    {SignatureWmf, 0, "\x01\x00\x09\x00\x00"sv},
    {SignatureWmf, 0, "\xD7\xCD\xC6\x9A"sv},
    {SignatureEmf, 40, " EMF"sv},
}};

constexpr std::size_t kSignatureBytes = 44;

FileType typeOfKind(SignatureKind kind) {
  for (const ExtensionEntry& entry : kExtensions) {
    if (entry.kind == kind) return entry.type;
  }
  return FileTypeNone;
}

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
  for (const Signature& signature : kSignatures) {
    if (bytes.substr(signature.offset, signature.bytes.size()) == signature.bytes) {
      return signature.kind == SignatureGif ? FileTypeNone : typeOfKind(signature.kind);
    }
  }
  return FileTypeNone;
}

FileType fileTypeFromExtension(const std::string& path) {
  LayerCall call;
  const std::size_t dot = path.rfind('.');
  std::string extension = dot == std::string::npos ? std::string() : path.substr(dot);
  for (char& c : extension) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  for (const ExtensionEntry& entry : kExtensions) {
    if (equalIgnoringCase(extension, entry.extension)) return entry.type;
  }
  return FileTypeNone;
}

FileType identifyFileType(const std::string& path) {
  LayerCall call;
  const FileType byContent = fileTypeFromContent(path);
  return byContent != FileTypeNone ? byContent : fileTypeFromExtension(path);
}

const char* fileTypeName(FileType type) {
  switch (type) {
    case FileTypeJpeg: return "JPEG";
    case FileTypePng: return "PNG";
    case FileTypeBmp: return "Windows bitmap";
    case FileTypePcx: return "PCX";
    case FileTypeTiff: return "TIFF";
    case FileTypeTga: return "TGA";
    case FileTypeWmf: return "Windows metafile";
    case FileTypeEmf: return "enhanced Windows metafile";
    case FileTypeMovie: return "movie";
    case FileTypeNone: break;
  }
  return "not recognised";
}

}  // namespace kelmira

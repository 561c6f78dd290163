#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "image/file_type.h"
#include "image/pixel_block.h"

namespace kelmira {

class ImageStream;
class RowGate;

// Bytes at a fixed place near the start of a file that say what the file is.
struct FileSignature {
  std::size_t offset = 0;
  std::string_view bytes;  // empty: no signature
};

using StreamDecoder = PixelBlock (*)(ImageStream& stream, std::int32_t& width, std::int32_t& height);
// Formats that are drawn rather than decoded are read from their path.
using PathDecoder = PixelBlock (*)(const std::string& path, std::int32_t& width, std::int32_t& height);
// With `rowsReady`, an encoder that takes rows as they come reads each row once the gate opens it.
using StreamEncoder = std::int64_t (*)(ImageStream& stream, const std::uint8_t* pixels, std::int32_t width,
                                       std::int32_t height, const RowGate* rowsReady);

// One file format as the whole program knows it: identification, the codecs, the command
// line's output formats and the file dialogs all read these rows.
struct FileFormat {
  FileType type = FileTypeNone;
  const char* name = nullptr;  // for people: "JPEG", "Windows bitmap"
  // Upper-case, with the dot, in any letter case on a path; the first is the one offered.
  std::array<std::string_view, 2> extensions{};
  std::array<FileSignature, 4> signatures{};
  StreamDecoder decode = nullptr;
  PathDecoder decodePath = nullptr;
  StreamEncoder encode = nullptr;
  // Else the encoder starts only once the whole picture is there.
  bool encodesRowsAsTheyArrive = false;
  // Its entry in the open and save dialogs ("JPEG Files (*.JPG)"); null where they do not offer it.
  const char* dialogLabel = nullptr;
};

// Every format, in the order identification tests their signatures.
std::span<const FileFormat> fileFormats();
// The format of a type; none for FileTypeNone.
const FileFormat* fileFormatOf(FileType type);
// Whether pictures can be written in the format.
bool isWritable(FileType type);
// Whether the text from the last "." of `path` on is `extension`, in any letter case.
bool hasExtension(const std::string& path, std::string_view extension);
// The extension people type for it, lower-case and without the dot ("jpg"); empty when it has none.
std::string shortExtension(const FileFormat& format);

}  // namespace kelmira

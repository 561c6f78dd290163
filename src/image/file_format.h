#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "image/embedded_metadata.h"
#include "image/file_type.h"
#include "image/image_error.h"
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
                                       std::int32_t height, const EmbeddedMetadata& metadata, const RowGate* rowsReady);
// The colour profile a file carries; empty when none, `damaged` when one is there but unreadable.
using ColourProfileReader = std::string (*)(ImageStream& stream, bool& damaged);
// Puts into a complete file, before it replaces its target, the metadata its encoder cannot place.
using MetadataFinisher = ImageErrorCode (*)(const std::string& path, const EmbeddedMetadata& metadata);

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
  // The decoder itself undoes the flips of the file's own orientation tag, as libtiff's
  // RGBA reader does: orientations 2 to 4 come out upright, and 5 to 8 as 1 to 4 would.
  bool decoderFlipsToOrientation = false;
  ColourProfileReader readColourProfile = nullptr;
  // None: the encoder places every block it keeps (a format without room for metadata keeps none).
  MetadataFinisher finishMetadata = nullptr;
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

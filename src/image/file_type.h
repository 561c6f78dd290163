#pragma once

#include <cstdint>
#include <string>

namespace kelmira {

// Image file formats as the whole program numbers them. The numbers are stored in
// settings and compared by callers, so they never change.
enum FileType : std::int32_t {
  FileTypeNone = 0,
  FileTypeJpeg = 1,
  FileTypePng = 3,
  FileTypeBmp = 6,
  FileTypePcx = 9,
  FileTypeTiff = 12,
  FileTypeTga = 16,
  FileTypeWmf = 19,
  FileTypeEmf = 20,
  FileTypeMovie = 21,
};

// The type of a file: by its first bytes, and only when they say nothing by its
// extension. Leaves last error 0.
FileType identifyFileType(const std::string& path);
// By the first 44 bytes; 0 for shorter or unreadable files and for GIF.
FileType fileTypeFromContent(const std::string& path);
// By the text from the last "." on, in any letter case; 0 when it is not known.
FileType fileTypeFromExtension(const std::string& path);

// A short name of the format for people ("JPEG", "Windows bitmap", ...).
const char* fileTypeName(FileType type);

}  // namespace kelmira

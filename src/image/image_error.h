#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>

namespace kelmira {

// Image layer result codes. The numbers are stable: they are shown to users and
// stored by callers, so never renumber them. They are written ImageError::Name.
enum class ImageErrorCode : std::int32_t {
  None = 0,
  OutOfMemory = 1,
  FileOpen = 2,
  FileRead = 3,
  FileWrite = 4,
  BadParameter = 5,
  BadBmp = 6,
  UnsupportedRle = 7,
  BadJpeg = 9,
  Aborted = 14,
  BadPng = 15,
  PngInternal = 16,
  Unexpected = 17,
  TiffInternal = 19,
  BadTiff = 20,
  TiffLzw = 21,
  BadPcx = 22,
  EndOfImage = 24,
  DeviceUnsupported = 26,
  BadMetafile = 27,
  WrongBitDepth = 28,
  BadTga = 32,
};
using ImageError = ImageErrorCode;

// The user-facing text of a code; unknown codes read "Error #<code>!".
std::string errorText(ImageErrorCode code);

// The code's number, for test failures and logs.
std::ostream& operator<<(std::ostream& out, ImageErrorCode code);

}  // namespace kelmira

#include "image/image_error.h"

#include <array>
#include <cstdio>
#include <ostream>
#include <utility>

namespace kelmira {

namespace {

constexpr std::array<std::pair<std::uint32_t, const char*>, 32> kErrorTexts{{
    {0, "no err"},
    {1, "out of memory"},
    {2, "error on file open"},
    {3, "error on file read"},
    {4, "error on file write"},
    {5, "bad user param"},
    {6, "bad BMP file"},
    {7, "some RLE variations are not supported"},
    {9, "bad JPG file"},
    {10, "error with device context"},
    {11, "problem with a GetDIBits call"},
    {13, "resource not found"},
    {14, "callback returned FALSE - operation aborted"},
    {15, "bad PNG file"},
    {16, "internal PNG lib behavior - contact Plimsett s.w."},
    {17, "misc unexpected behavior error - contact Plimsett s.w."},
    {18, "trouble creating a font object"},
    {19, "misc internal TIFF error"},
    {20, "invalid TIFF file"},
    {21, "this will not read TIFF-LZW images"},
    {22, "invalid PCX image"},
    {23, "a call to the fn CreateCompatibleBitmap failed"},
    {24, "end of an image while using single-line de/compression"},
    {25, "error during a call to GetDIBits"},
    {26, "device does not support an operation required by this function"},
    {27, "invalid windows metafile"},
    {28, "the file was not of the requested bit-depth"},
    {29, "a call to BitBlt failed."},
    {30, "output buffer is too small for this operation"},
    {31, "not enough room in the output palette to store the colors from this image"},
    {32, "bad TGA File"},
    {35, "a call to the fn CreateDIBitmap failed"},
}};

}  // namespace

std::string errorText(ImageErrorCode code) {
  // Shown as the unsigned number the texts were always looked up by.
  const auto number = static_cast<std::uint32_t>(code);
  for (const auto& [listed, text] : kErrorTexts) {
    if (listed == number) return text;
  }
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "Error #%u!", number);
  return buffer;
}

std::ostream& operator<<(std::ostream& out, ImageErrorCode code) { return out << static_cast<std::int32_t>(code); }

}  // namespace kelmira

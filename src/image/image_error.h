#pragma once

#include <cstdint>
#include <string>

namespace kelmira {

// Image layer result codes. The numbers are stable: they are shown to users and
// stored by callers, so never renumber them.
using ImageErrorCode = std::int32_t;

namespace ImageError {
inline constexpr ImageErrorCode None = 0;
inline constexpr ImageErrorCode OutOfMemory = 1;
inline constexpr ImageErrorCode FileOpen = 2;
inline constexpr ImageErrorCode FileRead = 3;
inline constexpr ImageErrorCode FileWrite = 4;
inline constexpr ImageErrorCode BadParameter = 5;
inline constexpr ImageErrorCode BadBmp = 6;
inline constexpr ImageErrorCode UnsupportedRle = 7;
inline constexpr ImageErrorCode BadJpeg = 9;
inline constexpr ImageErrorCode Aborted = 14;
inline constexpr ImageErrorCode BadPng = 15;
inline constexpr ImageErrorCode PngInternal = 16;
inline constexpr ImageErrorCode Unexpected = 17;
inline constexpr ImageErrorCode TiffInternal = 19;
inline constexpr ImageErrorCode BadTiff = 20;
inline constexpr ImageErrorCode TiffLzw = 21;
inline constexpr ImageErrorCode BadPcx = 22;
inline constexpr ImageErrorCode EndOfImage = 24;
inline constexpr ImageErrorCode DeviceUnsupported = 26;
inline constexpr ImageErrorCode BadMetafile = 27;
inline constexpr ImageErrorCode WrongBitDepth = 28;
inline constexpr ImageErrorCode BadTga = 32;
}  // namespace ImageError

// The user-facing text of a code; unknown codes read "Error #<code>!".
std::string errorText(std::uint32_t code);

}  // namespace kelmira

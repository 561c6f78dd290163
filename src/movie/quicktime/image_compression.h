#pragma once

#include <cstdint>

#include "movie/quicktime/gworld.h"
#include "movie/quicktime/image_description.h"
#include "movie/quicktime/qt_types.h"

namespace kelmira {

using CodecType = OSType;
using CodecQ = std::uint32_t;

inline constexpr CodecQ codecMinQuality = 0x000;
inline constexpr CodecQ codecLowQuality = 0x100;
inline constexpr CodecQ codecNormalQuality = 0x200;
inline constexpr CodecQ codecHighQuality = 0x300;
inline constexpr CodecQ codecMaxQuality = 0x3FF;
inline constexpr CodecQ codecLosslessQuality = 0x400;

inline constexpr CodecType kJPEGCodecType = fourCC("jpeg");
inline constexpr CodecType kCinepakCodecType = fourCC("cvid");
inline constexpr CodecType kSorensonCodecType = fourCC("SVQ1");

// There is one compressor per codec type, so the only choice is "any".
using CompressorComponent = const void*;
inline constexpr CompressorComponent anyCodec = nullptr;

// The compressor's name as QuickTime writes it into descriptions; null for unknown types.
const char* codecName(CodecType cType);

// An upper bound of the bytes fCompressImage writes for srcRect of src with these
// settings. The same result codes as fCompressImage, except that nothing is compressed.
OSErr getMaxCompressionSize(PixMapHandle src, const Rect& srcRect, std::int16_t colorDepth, CodecQ quality,
                            CodecType cType, CompressorComponent codec, std::int32_t* size);

// Compresses srcRect (in src's coordinates) of a 32-bit pixmap as one key frame into
// `data`, which holds bufferSize bytes, or, with bufferSize 0, at least what
// getMaxCompressionSize answered. Fills `desc`; its dataSize is the compressed size.
// colorDepth 0, 24 or 32 (the frame is 24-bit colour either way); quality 0..0x400.
// Colour tables, flags and progress / data procedures are not supported (null / 0).
// paramErr for bad arguments, noCodecErr for an unknown type, codecSizeErr for
// dimensions the codec cannot take, memFullErr, codecErr when the encoder fails.
OSErr fCompressImage(PixMapHandle src, const Rect& srcRect, std::int16_t colorDepth, CodecQ quality, CodecType cType,
                     CompressorComponent codec, const void* ctable, std::int32_t flags, std::int32_t bufferSize,
                     const void* progressProc, const void* dataProc, ImageDescription& desc, std::uint8_t* data);

}  // namespace kelmira

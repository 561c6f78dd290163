#pragma once

#include <cstddef>
#include <cstdint>

#include "movie/quicktime/big_endian.h"
#include "movie/quicktime/qt_types.h"

namespace kelmira {

// One still frame of a QuickTime codec ('cvid' Cinepak, 'SVQ1' Sorenson) through FFmpeg's
// decoder for it, which must come out exactly width x height; libswscale turns it into packed 24-bit RGB,
// top row first, written to `rgb` (3 x width x height bytes). noCodecErr when the decoder is
// missing, codecSizeErr when the frame has another size, codecBadDataErr when it does not
// decode, memFullErr.
OSErr decodeFrameWithFfmpeg(OSType codec, const std::uint8_t* data, std::size_t size, std::int32_t width,
                            std::int32_t height, std::uint8_t* rgb);

}  // namespace kelmira

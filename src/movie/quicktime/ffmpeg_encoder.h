#pragma once

#include <cstdint>

#include "movie/quicktime/big_endian.h"
#include "movie/quicktime/qt_types.h"

namespace kelmira {

// One still frame through one of FFmpeg's encoders, named as libavcodec names them
// ("cinepak", "svq1"). The input is packed 24-bit RGB, top row first; libswscale turns
// it into the encoder's first listed pixel format. The frame is always an intra frame.
// `lambda` is the encoder's rate-distortion weight in FFmpeg's lambda units (larger
// is coarser). noCodecErr when the encoder is missing, memFullErr, codecErr.
OSErr encodeFrameWithFfmpeg(const char* encoderName, const std::uint8_t* rgb, std::int32_t width,
                            std::int32_t height, std::int32_t lambda, ByteBuffer& out);

}  // namespace kelmira

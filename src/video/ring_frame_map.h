#pragma once

#include <cstdint>

#include "video/frame_map.h"

namespace kelmira {

// The described mirror's ring in a video frame: its centre in displayed pixels, the
// unwarp's scale (ringScaleForRadius of its outer radius) and whether the lens-thread
// attachment mirrors the scene.
struct VideoRing {
  double centreX = 0;
  double centreY = 0;
  double scale = 0;
  bool lensThread = false;
};

// The frame map of the described mirror: the band between the elevations the ring's inner
// and outer edges see (RowElevations of the unwarp), each pixel sampling where the still
// unwarp would for that direction: radius x cosine x scale + centre. Points outside the
// frame of `frameWidth` x `frameHeight` stay NaN. Empty when the width is unusable or
// memory runs out.
FrameMap ringFrameMap(const VideoRing& ring, std::uint32_t width, std::uint32_t frameWidth,
                      std::uint32_t frameHeight);

// The width a video of this ring's outer radius is given by default: the circumference
// halfway across the ring, to a multiple of 16, from 256 to 4096.
std::uint32_t defaultVideoWidth(double ringRadius);

}  // namespace kelmira

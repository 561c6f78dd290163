#pragma once

#include <cstdint>

#include "mirror/calibrated_panorama.h"
#include "video/frame_map.h"

namespace kelmira {

// The frame map of a calibrated mirror (or a table) as the photographs use it: `plan`, made
// for the video's frames as displayed and as wide as the video, is a band of the very sphere
// the video's frames are, so its rows are the frame's rows from plan.sphereTop() on and its
// source map says where each pixel is seen. Points outside the frame are left NaN, as the
// still remap leaves them black. Empty when the plan is not for frames of this size, or its
// width is not one a frame map takes, or memory runs out.
FrameMap calibratedFrameMap(const CalibratedPanorama& plan, std::uint32_t frameWidth, std::uint32_t frameHeight);

}  // namespace kelmira

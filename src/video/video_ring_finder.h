#pragma once

#include <optional>
#include <string>

#include "unwarp/ring_finder.h"

namespace kelmira {

// Frames the ring of a video is looked for on.
inline constexpr int kVideoRingSamples = 5;

// The mirror's ring in a video. The mirror is fixed to the camera, so the ring is found on
// `samples` frames spread evenly over the video and the median taken of their centres and
// radii, which a frame of sky or a hand over the lens does not move; its confidence is the
// median of theirs (a frame where none is found counts 0). None when no frame can be read.
std::optional<FoundRing> findVideoRing(const std::string& path, int samples = kVideoRingSamples);

}  // namespace kelmira

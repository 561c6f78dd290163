#pragma once

#include <string>

#include "video/frame_map.h"
#include "video/video_result.h"
#include "video/video_settings.h"

namespace kelmira {

class ProgressSink;

// One input video made into a 360-degree video.
struct VideoConversion {
  std::string input;
  std::string output;
  // Made for the input's frames as displayed; its width is the output's.
  const FrameMap* map = nullptr;
  VideoSettings settings;  // its width is the map's
  double brightness = 0;   // -1 to 1, as the window's Advanced image tools set them
  double contrast = 0;
  // Hears (frames written, frames expected) a few times a second, on the calling thread;
  // 0 from it stops the conversion, as an interruption (Ctrl-C) does.
  ProgressSink* progress = nullptr;
};

// Decodes the input, unwarps every frame from its YUV planes through the map's fixed-point
// tables, and encodes the frames in order with their timestamps: decoding, unwarping (on
// every core) and encoding overlap. The file is written beside the output and renamed over
// it when complete; stopped, failed or without a single frame, nothing is left. A damaged
// input gives the frames up to the damage, written, and Damaged.
VideoResult convertVideo(const VideoConversion& job);

}  // namespace kelmira

#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "video/video_result.h"

namespace kelmira {

// What a video is, as the ring finder, the window and the progress reports need it.
struct VideoFacts {
  std::uint32_t width = 0;  // as displayed, the rotation tag applied
  std::uint32_t height = 0;
  int quarterTurns = 0;  // clockwise, for display
  double frameRate = 0;  // 0: unknown
  double duration = 0;   // seconds; 0: unknown
  std::int64_t frameCount = 0;
  int audioStreams = 0;
  std::string codec;  // its video codec's name
};

// Opens the video and reads what it is: Written, or Unreadable or NoVideo with FFmpeg's
// word in `detail`; EncoderMissing when FFmpeg's libraries cannot be loaded.
VideoStatus readVideoFacts(const std::string& path, VideoFacts& facts, std::string& detail);

// A time in a video as messages give it, minutes and seconds: 65.3 is "1:05.30".
std::string videoTimeText(double seconds);

// The extensions of the videos the window offers to open, lower-case, without the dot.
std::span<const std::string_view> videoExtensions();
// Whether the name has one of them, in upper or lower case.
bool hasVideoExtension(const std::string& path);

}  // namespace kelmira

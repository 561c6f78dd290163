#pragma once

#include <cstdint>
#include <string>

namespace kelmira {

enum class VideoStatus {
  Written,
  Damaged,         // written up to where the input could no longer be read
  Unreadable,      // no file, or not one FFmpeg reads
  NoVideo,         // no video stream that decodes
  RingNotFound,    // the ring was to be found and was not found for sure
  EncoderMissing,  // FFmpeg or its x264 encoder cannot be had
  WriteFailed,
  NoMemory,
  Stopped,  // cancelled or interrupted: nothing written
};

// How a video conversion ended.
struct VideoResult {
  VideoStatus status = VideoStatus::Written;
  std::string detail;    // what FFmpeg said, or where the damage lies
  std::string warning;   // something left out (an audio stream an MP4 cannot hold)
  std::int64_t frames = 0;  // written
  double stoppedAt = 0;     // Damaged: seconds into the output where the input broke off
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  bool written() const { return status == VideoStatus::Written || status == VideoStatus::Damaged; }
};

}  // namespace kelmira

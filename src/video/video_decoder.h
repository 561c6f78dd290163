#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "video/display_rotation.h"
#include "video/ffmpeg_calls.h"
#include "video/video_result.h"

namespace kelmira {

// An input video read through libavformat and its video stream decoded with libavcodec,
// on as many threads as the decoder likes; its audio packets are handed out as they come.
// The first sign of damage (a read error, a cut-short packet, a packet the decoder
// refuses, fewer packets than the index promised) ends the reading: the frames decoded
// before it still come out, then damaged() says where it stopped.
class VideoDecoder {
 public:
  explicit VideoDecoder(const FfmpegCalls& ff) : ff_(ff) {}
  ~VideoDecoder();
  VideoDecoder(const VideoDecoder&) = delete;
  VideoDecoder& operator=(const VideoDecoder&) = delete;

  // Unreadable or NoVideo, with what FFmpeg said in `detail`; Written when open.
  VideoStatus open(const std::string& path, std::string& detail);

  AVFormatContext* format() const { return format_; }
  AVStream* videoStream() const { return format_->streams[videoIndex_]; }
  const AVCodecContext* codec() const { return codec_; }
  std::uint32_t storedWidth() const { return static_cast<std::uint32_t>(codec_->width); }
  std::uint32_t storedHeight() const { return static_cast<std::uint32_t>(codec_->height); }
  DisplayRotation rotation() const { return rotation_; }
  // The full-range (JPEG) levels of MJPEG and some phones, rather than 16 to 235.
  bool fullRange() const;
  // Frames per second, from the stream's average rate (or its base rate); 0 when unknown.
  double frameRate() const;
  // Where the input starts, in seconds (its first timestamp), and how long it lasts (0: unknown).
  double startTime() const;
  double duration() const;
  // Frames in the stream, from its index or its duration; 0 when unknown.
  std::int64_t frameCount() const;
  // The streams whose packets next() hands out as audio.
  const std::vector<int>& audioStreams() const { return audio_; }

  // Goes to the key frame at or before `seconds` after the start (the frames before it must
  // then be dropped by their timestamps), also back to the start. False when the input
  // cannot seek.
  bool seek(double seconds);

  enum class Event { Frame, Audio, End };
  // The next decoded frame into `frame`, or audio packet into `packet` (the caller unrefs
  // it); End when nothing more decodes, then check damaged().
  Event next(AVFrame* frame, AVPacket* packet);
  bool damaged() const { return damaged_; }
  const std::string& damage() const { return damage_; }

 private:
  void markDamaged(std::string what);
  void checkCompleteness();

  const FfmpegCalls& ff_;
  AVFormatContext* format_ = nullptr;
  AVCodecContext* codec_ = nullptr;
  int videoIndex_ = -1;
  std::vector<int> audio_;
  DisplayRotation rotation_;
  bool draining_ = false;
  bool seeked_ = false;
  bool damaged_ = false;
  std::string damage_;
  std::int64_t packetsRead_ = 0;
  std::int64_t lastPacketEnd_ = AV_NOPTS_VALUE;  // in the stream's time base
};

// What FFmpeg's code `error` means, in its words.
std::string ffmpegError(const FfmpegCalls& ff, int error);

}  // namespace kelmira

#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "video/ffmpeg_calls.h"
#include "video/video_result.h"
#include "video/video_settings.h"

namespace kelmira {

// What the output takes from the input besides its frames.
struct VideoEncoderInput {
  AVRational timeBase{1, 25};   // of the frames' timestamps
  AVRational frameRate{0, 1};   // kept; 0/1 when unknown
  bool fullRange = false;
  AVFormatContext* source = nullptr;  // its creation time, location and audio streams
  std::vector<int> audioStreams;
};

// The 360-degree video being written: H.264 frames through libx264 (yuv420p) into an MP4
// with the Spherical Video V2 box of an equirectangular projection, the input's audio
// streams packet for packet, and its creation time and location. Frames and audio packets
// may come from different threads.
class VideoEncoder {
 public:
  explicit VideoEncoder(const FfmpegCalls& ff) : ff_(ff) {}
  ~VideoEncoder();
  VideoEncoder(const VideoEncoder&) = delete;
  VideoEncoder& operator=(const VideoEncoder&) = delete;

  // Opens `path` for writing; EncoderMissing, WriteFailed or NoMemory with `detail`.
  // `warning` names the audio streams an MP4 cannot hold, which are left out.
  VideoStatus open(const std::string& path, std::uint32_t width, std::uint32_t height, const VideoSettings& settings,
                   const VideoEncoderInput& input, std::string& detail, std::string& warning);

  // An output frame, its timestamp in the input's time base; false on a failure (detail()).
  bool writeFrame(AVFrame* frame);
  // An audio packet of input stream `packet->stream_index`, its timestamps shifted by
  // `offset` (in AV_TIME_BASE units); packets of streams left out are dropped.
  bool writeAudio(AVPacket* packet, std::int64_t offset);
  // Flushes the encoder and finishes the file.
  bool finish();
  const std::string& detail() const { return detail_; }
  std::int64_t framesWritten() const { return framesWritten_; }

 private:
  bool drainPackets();
  bool fail(const std::string& what, int error);

  const FfmpegCalls& ff_;
  AVFormatContext* output_ = nullptr;
  AVCodecContext* encoder_ = nullptr;
  AVStream* videoStream_ = nullptr;
  AVPacket* packet_ = nullptr;
  // For each input stream, the output stream its packets go to (-1: none).
  std::vector<int> audioOutput_;
  std::vector<AVRational> audioTimeBase_;
  std::mutex muxer_;
  bool headerWritten_ = false;
  std::int64_t lastPts_ = AV_NOPTS_VALUE;
  std::int64_t framesWritten_ = 0;
  std::string detail_;
};

}  // namespace kelmira

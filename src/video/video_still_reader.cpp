#include "video/video_still_reader.h"

#include <cmath>
#include <vector>

#include "image/dib_image.h"
#include "video/ffmpeg_calls.h"
#include "video/video_decoder.h"

namespace kelmira {

struct VideoStillReader::State {
  const FfmpegCalls& ff;
  VideoDecoder decoder;
  AVFrame* frame = nullptr;
  AVFrame* kept = nullptr;
  AVPacket* packet = nullptr;
  explicit State(const FfmpegCalls& calls) : ff(calls), decoder(calls) {}
  ~State() {
    ff.av_frame_free(&frame);
    ff.av_frame_free(&kept);
    ff.av_packet_free(&packet);
  }
};

VideoStillReader::VideoStillReader() = default;
VideoStillReader::~VideoStillReader() = default;

VideoStatus VideoStillReader::open(const std::string& path, std::string& detail) {
  state_.reset();
  const FfmpegCalls* calls = FfmpegCalls::get();
  if (calls == nullptr) {
    detail = std::string("FFmpeg's ") + FfmpegCalls::missing() + " cannot be loaded";
    return VideoStatus::EncoderMissing;
  }
  auto state = std::make_unique<State>(*calls);
  if (const VideoStatus opened = state->decoder.open(path, detail); opened != VideoStatus::Written) return opened;
  state->frame = calls->av_frame_alloc();
  state->kept = calls->av_frame_alloc();
  state->packet = calls->av_packet_alloc();
  if (state->frame == nullptr || state->kept == nullptr || state->packet == nullptr) {
    detail = "out of memory";
    return VideoStatus::NoMemory;
  }
  const VideoDecoder& decoder = state->decoder;
  facts_ = {};
  facts_.width = decoder.rotation().displayedWidth(decoder.storedWidth(), decoder.storedHeight());
  facts_.height = decoder.rotation().displayedHeight(decoder.storedWidth(), decoder.storedHeight());
  facts_.quarterTurns = decoder.rotation().quarterTurns();
  facts_.frameRate = decoder.frameRate();
  facts_.duration = decoder.duration();
  facts_.frameCount = decoder.frameCount();
  facts_.audioStreams = static_cast<int>(decoder.audioStreams().size());
  facts_.codec = calls->avcodec_get_name(decoder.codec()->codec_id);
  state_ = std::move(state);
  return VideoStatus::Written;
}

bool VideoStillReader::readFrame(std::int64_t index, DibImage& picture) {
  const double rate = facts_.frameRate > 0 ? facts_.frameRate : 25;
  return read(static_cast<double>(index) / rate, picture);
}

bool VideoStillReader::read(double seconds, DibImage& picture) {
  if (!state_) return false;
  State& s = *state_;
  const FfmpegCalls& ff = s.ff;
  VideoDecoder& decoder = s.decoder;
  if (!decoder.seek(seconds)) return false;
  const double timeBase = av_q2d(decoder.videoStream()->time_base);
  const double halfFrame = facts_.frameRate > 0 ? 0.5 / facts_.frameRate : 0.001;
  const double start = decoder.startTime();
  bool have = false;
  ff.av_frame_unref(s.kept);
  for (;;) {
    const VideoDecoder::Event event = decoder.next(s.frame, s.packet);
    if (event == VideoDecoder::Event::End) break;
    if (event == VideoDecoder::Event::Audio) {
      ff.av_packet_unref(s.packet);
      continue;
    }
    const std::int64_t pts = s.frame->best_effort_timestamp;
    ff.av_frame_unref(s.kept);
    std::swap(s.kept, s.frame);
    have = true;
    if (pts == AV_NOPTS_VALUE || pts * timeBase - start >= seconds - halfFrame) break;
  }
  if (!have) return false;

  const AVFrame* frame = s.kept;
  const int width = frame->width;
  const int height = frame->height;
  SwsContext* scaler = ff.sws_getContext(width, height, static_cast<AVPixelFormat>(frame->format), width, height,
                                         AV_PIX_FMT_RGB24, SWS_BILINEAR, nullptr, nullptr, nullptr);
  if (scaler == nullptr) return false;
  std::vector<std::uint8_t> rgb;
  try {
    rgb.resize(std::size_t(width) * height * 3 + 64);
  } catch (const std::bad_alloc&) {
    ff.sws_freeContext(scaler);
    return false;
  }
  std::uint8_t* planes[4] = {rgb.data(), nullptr, nullptr, nullptr};
  int strides[4] = {3 * width, 0, 0, 0};
  ff.sws_scale(scaler, frame->data, frame->linesize, 0, height, planes, strides);
  ff.sws_freeContext(scaler);

  const DisplayRotation rotation = decoder.rotation();
  const auto w = static_cast<std::uint32_t>(width);
  const auto h = static_cast<std::uint32_t>(height);
  DibImage made;
  if (made.allocate(static_cast<std::int32_t>(rotation.displayedWidth(w, h)),
                    static_cast<std::int32_t>(rotation.displayedHeight(w, h))) != ImageError::None) {
    return false;
  }
  std::uint8_t* out = made.beginAccess();
  for (std::int32_t y = 0; y < made.height(); ++y) {
    for (std::int32_t x = 0; x < made.width(); ++x, out += 3) {
      double sx = 0, sy = 0;
      rotation.storedPoint(x, y, w, h, sx, sy);
      const std::uint8_t* from = rgb.data() + (static_cast<std::size_t>(sy) * w + static_cast<std::size_t>(sx)) * 3;
      out[0] = from[0];
      out[1] = from[1];
      out[2] = from[2];
    }
  }
  made.endAccess();
  made.buildPalette();
  picture.swap(made);
  return true;
}

}  // namespace kelmira

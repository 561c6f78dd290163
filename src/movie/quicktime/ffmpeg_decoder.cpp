#include "movie/quicktime/ffmpeg_decoder.h"

#include <cstring>
#include <vector>

#include "movie/quicktime/ffmpeg_library.h"

namespace kelmira {

namespace {

struct DecoderGuard {
  const FfmpegLibrary& ffmpeg;
  AVCodecContext* context = nullptr;
  AVFrame* frame = nullptr;
  AVPacket* packet = nullptr;
  SwsContext* scaler = nullptr;
  ~DecoderGuard() {
    ffmpeg.scalerFreeContext(scaler);
    ffmpeg.freePacket(&packet);
    ffmpeg.freeFrame(&frame);
    ffmpeg.freeContext(&context);
  }
};

// A frame larger than this is no tile of a panorama.
constexpr std::size_t kMaxFrameBytes = 64u << 20;

}  // namespace

OSErr decodeFrameWithFfmpeg(OSType codecType, const std::uint8_t* data, std::size_t size, std::int32_t width,
                            std::int32_t height, std::uint8_t* rgb) {
  if (data == nullptr || rgb == nullptr || size == 0 || size > kMaxFrameBytes || width <= 0 || height <= 0 ||
      width > 0xFFFF || height > 0xFFFF)
    return paramErr;
  const FfmpegLibrary* library = FfmpegLibrary::get();
  if (library == nullptr) return noCodecErr;
  const FfmpegLibrary& ffmpeg = *library;
  const AVCodecID id = codecType == fourCC("cvid")   ? AV_CODEC_ID_CINEPAK
                       : codecType == fourCC("SVQ1") ? AV_CODEC_ID_SVQ1
                                                     : AV_CODEC_ID_NONE;
  if (id == AV_CODEC_ID_NONE) return noCodecErr;
  const AVCodec* codec = ffmpeg.findDecoder(id);
  if (codec == nullptr) return noCodecErr;

  DecoderGuard guard{ffmpeg, ffmpeg.allocContext(codec)};
  if (guard.context == nullptr) return memFullErr;
  guard.context->width = width;
  guard.context->height = height;
  guard.context->thread_count = 1;
  if (ffmpeg.open(guard.context, codec, nullptr) < 0) return codecErr;
  guard.frame = ffmpeg.allocFrame();
  guard.packet = ffmpeg.allocPacket();
  if (guard.frame == nullptr || guard.packet == nullptr) return memFullErr;

  // The decoders read a little past the end of what they are given.
  std::vector<std::uint8_t> padded(size + AV_INPUT_BUFFER_PADDING_SIZE, 0);
  std::memcpy(padded.data(), data, size);
  guard.packet->data = padded.data();
  guard.packet->size = static_cast<int>(size);
  guard.packet->flags = AV_PKT_FLAG_KEY;
  if (ffmpeg.sendPacket(guard.context, guard.packet) < 0) return codecBadDataErr;
  ffmpeg.sendPacket(guard.context, nullptr);
  if (ffmpeg.receiveFrame(guard.context, guard.frame) < 0) return codecBadDataErr;
  const AVFrame& frame = *guard.frame;
  if (frame.width != width || frame.height != height) return codecSizeErr;

  guard.scaler = ffmpeg.scalerGetContext(width, height, static_cast<AVPixelFormat>(frame.format), width, height,
                                         AV_PIX_FMT_RGB24, SWS_BICUBIC | SWS_ACCURATE_RND | SWS_FULL_CHR_H_INT,
                                         nullptr, nullptr, nullptr);
  if (guard.scaler == nullptr) return codecErr;
  std::uint8_t* planes[1] = {rgb};
  const int strides[1] = {width * 3};
  if (ffmpeg.scale(guard.scaler, frame.data, frame.linesize, 0, height, planes, strides) != height) return codecErr;
  return noErr;
}

}  // namespace kelmira

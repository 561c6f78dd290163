#include "movie/quicktime/ffmpeg_encoder.h"

#include "movie/quicktime/ffmpeg_library.h"

namespace kelmira {

namespace {

struct ContextGuard {
  const FfmpegLibrary& ffmpeg;
  AVCodecContext* context = nullptr;
  ~ContextGuard() { ffmpeg.freeContext(&context); }
};
struct FrameGuard {
  const FfmpegLibrary& ffmpeg;
  AVFrame* frame = nullptr;
  ~FrameGuard() { ffmpeg.freeFrame(&frame); }
};
struct PacketGuard {
  const FfmpegLibrary& ffmpeg;
  AVPacket* packet = nullptr;
  ~PacketGuard() { ffmpeg.freePacket(&packet); }
};
struct ScalerGuard {
  const FfmpegLibrary& ffmpeg;
  SwsContext* scaler = nullptr;
  ~ScalerGuard() { ffmpeg.scalerFreeContext(scaler); }
};

OSErr fromAvError(int code) { return code == AVERROR(ENOMEM) ? memFullErr : codecErr; }

}  // namespace

OSErr encodeFrameWithFfmpeg(const char* encoderName, const std::uint8_t* rgb, std::int32_t width,
                            std::int32_t height, std::int32_t lambda, ByteBuffer& out) {
  if (rgb == nullptr || width <= 0 || height <= 0) return paramErr;
  const FfmpegLibrary* library = FfmpegLibrary::get();
  if (library == nullptr) return noCodecErr;
  const FfmpegLibrary& ffmpeg = *library;
  const AVCodec* codec = ffmpeg.findEncoderByName(encoderName);
  if (codec == nullptr || codec->pix_fmts == nullptr || codec->pix_fmts[0] == AV_PIX_FMT_NONE) return noCodecErr;
  const AVPixelFormat format = codec->pix_fmts[0];

  ContextGuard context{ffmpeg, ffmpeg.allocContext(codec)};
  if (context.context == nullptr) return memFullErr;
  AVCodecContext& settings = *context.context;
  settings.width = width;
  settings.height = height;
  settings.pix_fmt = format;
  settings.time_base = AVRational{1, 600};
  settings.gop_size = 1;
  settings.thread_count = 1;
  settings.flags |= AV_CODEC_FLAG_QSCALE;
  settings.global_quality = lambda;
  if (int code = ffmpeg.open(context.context, codec, nullptr); code < 0) return fromAvError(code);

  FrameGuard frame{ffmpeg, ffmpeg.allocFrame()};
  PacketGuard packet{ffmpeg, ffmpeg.allocPacket()};
  if (frame.frame == nullptr || packet.packet == nullptr) return memFullErr;
  frame.frame->format = format;
  frame.frame->width = width;
  frame.frame->height = height;
  if (int code = ffmpeg.frameGetBuffer(frame.frame, 0); code < 0) return fromAvError(code);

  ScalerGuard scaler{ffmpeg, ffmpeg.scalerGetContext(width, height, AV_PIX_FMT_RGB24, width, height, format,
                                    SWS_BICUBIC | SWS_ACCURATE_RND | SWS_FULL_CHR_H_INP, nullptr, nullptr, nullptr)};
  if (scaler.scaler == nullptr) return codecErr;
  const std::uint8_t* sourcePlanes[1] = {rgb};
  const int sourceStrides[1] = {width * 3};
  if (ffmpeg.scale(scaler.scaler, sourcePlanes, sourceStrides, 0, height, frame.frame->data, frame.frame->linesize) !=
      height)
    return codecErr;

  // The encoders read their rate-distortion weight from the frame in fixed-quality mode.
  frame.frame->quality = lambda;
  frame.frame->pict_type = AV_PICTURE_TYPE_I;
  frame.frame->pts = 0;
  if (int code = ffmpeg.sendFrame(context.context, frame.frame); code < 0) return fromAvError(code);
  if (int code = ffmpeg.sendFrame(context.context, nullptr); code < 0) return fromAvError(code);
  if (int code = ffmpeg.receivePacket(context.context, packet.packet); code < 0) return fromAvError(code);
  if (packet.packet->size <= 0) return codecErr;
  out.assign(packet.packet->data, packet.packet->data + packet.packet->size);
  return noErr;
}

}  // namespace kelmira

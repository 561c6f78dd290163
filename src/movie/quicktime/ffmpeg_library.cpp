#include "movie/quicktime/ffmpeg_library.h"

#include <dlfcn.h>

#include <mutex>

extern "C" {
#include <libavutil/macros.h>
}

namespace kelmira {

namespace {

// The libraries of the major versions these headers describe.
constexpr const char* kAvcodec = "libavcodec.so." AV_STRINGIFY(LIBAVCODEC_VERSION_MAJOR);
constexpr const char* kAvutil = "libavutil.so." AV_STRINGIFY(LIBAVUTIL_VERSION_MAJOR);
constexpr const char* kSwscale = "libswscale.so." AV_STRINGIFY(LIBSWSCALE_VERSION_MAJOR);

template <typename Function>
bool find(void* library, const char* name, Function& function) {
  function = library != nullptr ? reinterpret_cast<Function>(dlsym(library, name)) : nullptr;
  return function != nullptr;
}

bool load(FfmpegLibrary& ffmpeg) {
  // Kept open for the life of the process.
  void* avcodec = dlopen(kAvcodec, RTLD_NOW | RTLD_LOCAL);
  void* avutil = dlopen(kAvutil, RTLD_NOW | RTLD_LOCAL);
  void* swscale = dlopen(kSwscale, RTLD_NOW | RTLD_LOCAL);
  return find(avcodec, "avcodec_find_encoder_by_name", ffmpeg.findEncoderByName) &&
         find(avcodec, "avcodec_alloc_context3", ffmpeg.allocContext) &&
         find(avcodec, "avcodec_free_context", ffmpeg.freeContext) && find(avcodec, "avcodec_open2", ffmpeg.open) &&
         find(avcodec, "avcodec_send_frame", ffmpeg.sendFrame) &&
         find(avcodec, "avcodec_receive_packet", ffmpeg.receivePacket) &&
         find(avcodec, "avcodec_find_decoder", ffmpeg.findDecoder) &&
         find(avcodec, "avcodec_send_packet", ffmpeg.sendPacket) &&
         find(avcodec, "avcodec_receive_frame", ffmpeg.receiveFrame) &&
         find(avcodec, "av_packet_alloc", ffmpeg.allocPacket) && find(avcodec, "av_packet_free", ffmpeg.freePacket) &&
         find(avutil, "av_frame_alloc", ffmpeg.allocFrame) && find(avutil, "av_frame_free", ffmpeg.freeFrame) &&
         find(avutil, "av_frame_get_buffer", ffmpeg.frameGetBuffer) &&
         find(swscale, "sws_getContext", ffmpeg.scalerGetContext) &&
         find(swscale, "sws_freeContext", ffmpeg.scalerFreeContext) && find(swscale, "sws_scale", ffmpeg.scale);
}

}  // namespace

const FfmpegLibrary* FfmpegLibrary::get() {
  static FfmpegLibrary ffmpeg;
  static bool loaded = false;
  static std::once_flag once;
  std::call_once(once, [] { loaded = load(ffmpeg); });
  return loaded ? &ffmpeg : nullptr;
}

}  // namespace kelmira

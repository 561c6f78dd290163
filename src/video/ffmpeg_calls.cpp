#include "video/ffmpeg_calls.h"

#include <dlfcn.h>

#include <mutex>
#include <string>

extern "C" {
#include <libavutil/macros.h>
}

namespace kelmira {

namespace {

// The libraries of the major versions these headers describe.
struct Libraries {
  void* avformat = dlopen("libavformat.so." AV_STRINGIFY(LIBAVFORMAT_VERSION_MAJOR), RTLD_NOW | RTLD_LOCAL);
  void* avcodec = dlopen("libavcodec.so." AV_STRINGIFY(LIBAVCODEC_VERSION_MAJOR), RTLD_NOW | RTLD_LOCAL);
  void* avutil = dlopen("libavutil.so." AV_STRINGIFY(LIBAVUTIL_VERSION_MAJOR), RTLD_NOW | RTLD_LOCAL);
  void* swscale = dlopen("libswscale.so." AV_STRINGIFY(LIBSWSCALE_VERSION_MAJOR), RTLD_NOW | RTLD_LOCAL);
};

std::string missingCall;

bool load(FfmpegCalls& calls) {
  // Kept open for the life of the process.
  const Libraries libraries;
#define KELMIRA_FFMPEG_FIND(library, name)                                                 \
  calls.name = libraries.library != nullptr                                                \
                   ? reinterpret_cast<decltype(calls.name)>(dlsym(libraries.library, #name)) \
                   : nullptr;                                                              \
  if (calls.name == nullptr) {                                                             \
    missingCall = "lib" #library " (" #name ")";                                           \
    return false;                                                                          \
  }
  KELMIRA_FFMPEG_VIDEO_CALLS(KELMIRA_FFMPEG_FIND)
#undef KELMIRA_FFMPEG_FIND
  calls.av_log_set_level(AV_LOG_QUIET);
  return true;
}

}  // namespace

const FfmpegCalls* FfmpegCalls::get() {
  static FfmpegCalls calls;
  static bool loaded = false;
  static std::once_flag once;
  std::call_once(once, [] { loaded = load(calls); });
  return loaded ? &calls : nullptr;
}

const char* FfmpegCalls::missing() {
  get();
  return missingCall.c_str();
}

}  // namespace kelmira

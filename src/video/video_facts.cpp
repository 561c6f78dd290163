#include "video/video_facts.h"

#include <algorithm>
#include <cctype>

#include "base/decimal_text.h"
#include "video/ffmpeg_calls.h"
#include "video/video_decoder.h"

namespace kelmira {

VideoStatus readVideoFacts(const std::string& path, VideoFacts& facts, std::string& detail) {
  const FfmpegCalls* calls = FfmpegCalls::get();
  if (calls == nullptr) {
    detail = std::string("FFmpeg's ") + FfmpegCalls::missing() + " cannot be loaded";
    return VideoStatus::EncoderMissing;
  }
  VideoDecoder decoder(*calls);
  if (const VideoStatus opened = decoder.open(path, detail); opened != VideoStatus::Written) return opened;
  VideoFacts read;
  read.width = decoder.rotation().displayedWidth(decoder.storedWidth(), decoder.storedHeight());
  read.height = decoder.rotation().displayedHeight(decoder.storedWidth(), decoder.storedHeight());
  read.quarterTurns = decoder.rotation().quarterTurns();
  read.frameRate = decoder.frameRate();
  read.duration = decoder.duration();
  read.frameCount = decoder.frameCount();
  read.audioStreams = static_cast<int>(decoder.audioStreams().size());
  read.codec = calls->avcodec_get_name(decoder.codec()->codec_id);
  facts = read;
  return VideoStatus::Written;
}

std::span<const std::string_view> videoExtensions() {
  static constexpr std::string_view kExtensions[] = {"mp4", "mov", "m4v", "mkv", "avi", "webm", "mts", "3gp"};
  return kExtensions;
}

bool hasVideoExtension(const std::string& path) {
  const std::size_t dot = path.rfind('.');
  if (dot == std::string::npos || path.find('/', dot) != std::string::npos) return false;
  std::string extension = path.substr(dot + 1);
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  for (const std::string_view known : videoExtensions()) {
    if (extension == known) return true;
  }
  return false;
}

std::string videoTimeText(double seconds) {
  const auto minutes = static_cast<long>(seconds / 60);
  std::string rest = fixedDecimal(seconds - 60.0 * minutes, 2);
  if (rest.size() < 5) rest.insert(0, 5 - rest.size(), '0');  // two digits before the point
  return std::to_string(minutes) + ":" + rest;
}

}  // namespace kelmira

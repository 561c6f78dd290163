#include "cli/video_progress.h"

#include <unistd.h>

#include <cmath>
#include <utility>

#include "base/interruption.h"

namespace kelmira {

VideoProgress::VideoProgress(std::FILE* stream)
    : stream_(stream), enabled_(stream != nullptr && isatty(fileno(stream)) != 0) {}

void VideoProgress::setLabel(std::string label) {
  label_ = std::move(label);
  firstSeen_ = -1;
}

std::string VideoProgress::describe(std::int32_t done, std::int32_t total, double secondsSoFar, std::int32_t enough) {
  std::string text = "frame " + std::to_string(done) + " of " + std::to_string(total);
  if (done >= enough && done < total && secondsSoFar > 0) {
    const auto left = static_cast<long>(std::lround(secondsSoFar * (total - done) / done));
    char time[48];
    std::snprintf(time, sizeof time, ", %ld:%02ld left", left / 60, left % 60);
    text += time;
  }
  return text;
}

int VideoProgress::reportProgress(std::int32_t position, std::int32_t total) {
  // An interrupted run's work gives up here.
  if (Interruption::stopped()) return 0;
  if (!enabled_ || total <= 0) return 1;
  const auto now = std::chrono::steady_clock::now();
  if (firstSeen_ < 0) {
    firstSeen_ = position;
    since_ = now;
  }
  const double elapsed = std::chrono::duration<double>(now - since_).count();
  // The pace is measured from the first report on: the frames before it paid for the start.
  const std::int32_t counted = position - firstSeen_;
  std::string line = describe(position, total, 0);
  if (counted > 0) {
    const std::string timed = describe(counted, total - firstSeen_, elapsed);
    const std::size_t comma = timed.find(", ");
    if (comma != std::string::npos) line += timed.substr(comma);
  }
  std::fprintf(stream_, "\r%-10s %-40s", label_.c_str(), line.c_str());
  std::fflush(stream_);
  shown_ = true;
  return 1;
}

void VideoProgress::endProgress() {
  if (enabled_ && shown_) {
    std::fputc('\n', stream_);
    std::fflush(stream_);
  }
  shown_ = false;
}

}  // namespace kelmira

#pragma once

#include <chrono>
#include <cstdio>
#include <string>

#include "cli/file_job.h"

namespace kelmira {

// The progress line of one video on a terminal: the step, the frame count and, once a few
// frames have gone by, the time left at the pace so far. Silent when the stream is not a
// terminal.
class VideoProgress : public StepProgress {
 public:
  explicit VideoProgress(std::FILE* stream);
  void setLabel(std::string label) override;
  int reportProgress(std::int32_t position, std::int32_t total) override;
  void endProgress() override;

  // "frame 12 of 250, 0:41 left" (no time before `enough` frames have gone by).
  static std::string describe(std::int32_t done, std::int32_t total, double secondsSoFar, std::int32_t enough = 5);

 private:
  std::FILE* stream_;
  bool enabled_;
  std::string label_;
  bool shown_ = false;
  std::int32_t firstSeen_ = -1;
  std::chrono::steady_clock::time_point since_;
};

}  // namespace kelmira

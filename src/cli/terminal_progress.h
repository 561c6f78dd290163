#pragma once

#include <cstdio>
#include <string>

#include "cli/file_job.h"

namespace kelmira {

// A one-line progress bar on a terminal; silent when the stream is not a terminal.
class TerminalProgress : public StepProgress {
 public:
  explicit TerminalProgress(std::FILE* stream);
  // Names the work the following reports belong to ("Reading", "Unwarping", ...).
  void setLabel(std::string label) override;
  int reportProgress(std::int32_t position, std::int32_t total) override;
  void endProgress() override;

 private:
  std::FILE* stream_;
  bool enabled_;
  std::string label_;
  int shownPercent_ = -1;
};

}  // namespace kelmira

#pragma once

#include <cstdint>

namespace kelmira {

// Where long work reports its rows: the main window's progress bar, or a terminal bar.
class ProgressSink {
 public:
  virtual ~ProgressSink() = default;
  // Shows (position, total); the answer is handed back to the image layer as "continue".
  virtual int reportProgress(std::int32_t position, std::int32_t total) = 0;
  // The long work is over, successful or not.
  virtual void endProgress() = 0;
};

}  // namespace kelmira

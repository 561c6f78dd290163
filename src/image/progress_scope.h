#pragma once

#include "image/layer_state.h"

namespace kelmira {

class ProgressSink;

// Sends the image layer's progress on this thread to a sink for one scope. The callback
// that was installed before comes back when the scope ends, so work started while a
// long task pumps the window's messages never silences that task's progress.
class ProgressScope {
 public:
  explicit ProgressScope(ProgressSink* sink);
  ~ProgressScope();
  ProgressScope(const ProgressScope&) = delete;
  ProgressScope& operator=(const ProgressScope&) = delete;

 private:
  bool installed_ = false;
  ProgressCallback previous_;
};

}  // namespace kelmira

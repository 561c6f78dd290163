#pragma once

#include <cstdint>
#include <functional>

#include "image/image_error.h"

namespace kelmira {

// Called once per row of a long operation with (row, rowCount); answering false
// aborts the operation with ImageError::Aborted.
using ProgressCallback = std::function<bool(std::int32_t current, std::int32_t total)>;

// Installs the calling thread's progress callback (an empty function removes it).
void setProgressCallback(ProgressCallback callback);
// Installs a callback and hands back the one it replaces, so a scope can put it back.
ProgressCallback exchangeProgressCallback(ProgressCallback callback);

// The calling thread's last image layer result.
ImageErrorCode lastError();

// Bookkeeping of one public layer operation: raises the thread's nesting depth
// for its lifetime and stores its result as the last error when it ends. Only the
// outermost operation reports progress, so a caller sees one sequence of rows.
class LayerCall {
 public:
  LayerCall();
  ~LayerCall();
  LayerCall(const LayerCall&) = delete;
  LayerCall& operator=(const LayerCall&) = delete;

  // Records a failure; the first code recorded wins. Returns the code.
  ImageErrorCode fail(ImageErrorCode code);
  // Marks the result as "leave the last error as it was".
  void keepPreviousError() { keepPrevious_ = true; }
  ImageErrorCode code() const { return code_; }
  bool failed() const { return code_ != ImageError::None; }

  // Reports a row when this is the outermost operation; false (and ImageError::Aborted) on abort.
  bool progress(std::int32_t current, std::int32_t total);

 private:
  ImageErrorCode code_ = ImageError::None;
  bool keepPrevious_ = false;
};

// Nesting depth of the calling thread; exposed for tests.
std::int32_t layerNestingDepth();

}  // namespace kelmira

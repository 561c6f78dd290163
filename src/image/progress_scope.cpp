#include "image/progress_scope.h"

#include <utility>

#include "image/progress_sink.h"

namespace kelmira {

ProgressScope::ProgressScope(ProgressSink* sink) {
  if (sink == nullptr) return;
  previous_ = exchangeProgressCallback(
      [sink](std::int32_t position, std::int32_t total) { return sink->reportProgress(position, total) != 0; });
  installed_ = true;
}

ProgressScope::~ProgressScope() {
  if (installed_) setProgressCallback(std::move(previous_));
}

}  // namespace kelmira

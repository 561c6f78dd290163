#include "image/layer_state.h"

#include <memory>
#include <utility>

namespace kelmira {

namespace {

struct ThreadLayerState {
  // Shared, so a callback that replaces itself while it runs (a window pumping its
  // messages can start other work) is not destroyed under its own feet.
  std::shared_ptr<const ProgressCallback> progress;
  std::int32_t depth = 0;
  ImageErrorCode lastError = ImageError::None;
};

ThreadLayerState& threadState() {
  thread_local ThreadLayerState state;
  return state;
}

}  // namespace

void setProgressCallback(ProgressCallback callback) { exchangeProgressCallback(std::move(callback)); }

ProgressCallback exchangeProgressCallback(ProgressCallback callback) {
  ThreadLayerState& state = threadState();
  ProgressCallback previous = state.progress ? *state.progress : ProgressCallback{};
  state.progress = callback ? std::make_shared<const ProgressCallback>(std::move(callback)) : nullptr;
  return previous;
}

ImageErrorCode lastError() { return threadState().lastError; }

std::int32_t layerNestingDepth() { return threadState().depth; }

LayerCall::LayerCall() { ++threadState().depth; }

LayerCall::~LayerCall() {
  ThreadLayerState& state = threadState();
  --state.depth;
  if (!keepPrevious_) state.lastError = code_;
}

ImageErrorCode LayerCall::fail(ImageErrorCode code) {
  if (code_ == ImageError::None) code_ = code;
  return code_;
}

bool LayerCall::progress(std::int32_t current, std::int32_t total) {
  ThreadLayerState& state = threadState();
  if (state.depth != 1 || !state.progress) return true;
  const std::shared_ptr<const ProgressCallback> callback = state.progress;
  if ((*callback)(current, total)) return true;
  fail(ImageError::Aborted);
  return false;
}

}  // namespace kelmira

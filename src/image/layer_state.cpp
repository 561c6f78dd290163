#include "image/layer_state.h"

#include <utility>

namespace kelmira {

namespace {

struct ThreadLayerState {
  ProgressCallback progress;
  std::int32_t depth = 0;
  ImageErrorCode lastError = ImageError::None;
};

ThreadLayerState& threadState() {
  thread_local ThreadLayerState state;
  return state;
}

}  // namespace

void setProgressCallback(ProgressCallback callback) {
  threadState().progress = std::move(callback);
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
  if (state.progress(current, total)) return true;
  fail(ImageError::Aborted);
  return false;
}

}  // namespace kelmira

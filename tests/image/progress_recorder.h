#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "image/layer_state.h"

namespace kelmira::test {

// Installs a progress callback for its lifetime (so a failing test cannot leave one
// behind) and records every (current, total) it is given. It answers false from the
// call numbered abortAt on, counting from 0; never when abortAt is negative.
class ProgressRecorder {
 public:
  explicit ProgressRecorder(int abortAt = -1) {
    setProgressCallback([this, abortAt](std::int32_t current, std::int32_t total) {
      calls.emplace_back(current, total);
      return abortAt < 0 || static_cast<int>(calls.size()) <= abortAt;
    });
  }
  ~ProgressRecorder() { setProgressCallback({}); }
  ProgressRecorder(const ProgressRecorder&) = delete;
  ProgressRecorder& operator=(const ProgressRecorder&) = delete;

  std::vector<std::pair<int, int>> calls;
};

// (0, total), (1, total), ... (total - 1, total): one uninterrupted run of rows.
inline std::vector<std::pair<int, int>> rowRun(int total) {
  std::vector<std::pair<int, int>> out;
  for (int i = 0; i < total; ++i) out.emplace_back(i, total);
  return out;
}

}  // namespace kelmira::test

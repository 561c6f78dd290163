#pragma once

#include <cstdint>
#include <vector>

#include "image/progress_sink.h"

namespace kelmira::test {

// A progress sink that keeps every position it is given and counts the ends.
class RecordingSink : public ProgressSink {
 public:
  int reportProgress(std::int32_t position, std::int32_t) override {
    positions.push_back(position);
    return 1;
  }
  void endProgress() override { ++ends; }
  std::vector<int> positions;
  int ends = 0;
};

}  // namespace kelmira::test

#pragma once

#include <vector>

#include "unwarp/circle_fit.h"
#include "unwarp/ring_finder.h"

namespace kelmira {

// A circle the ring finder followed at full size and how sure it is of it: as the ring
// (confidence), as an edge whatever lies either side (edge), how much busier the picture is
// inside it than outside (texture, -1 to 1), and whether a polished rim, a thin bright ring,
// lies at it.
struct JudgedCircle {
  FittedCircle circle;
  double confidence = 0;
  double edge = 0;
  double texture = 0;
  bool rim = false;
};

// Whether two circles share their centre, within 3 % of the larger's radius.
bool concentric(const FittedCircle& a, const FittedCircle& b);

// Which of the circles (at least one) is the ring, and how sure of it the finder is.
FoundRing chooseRing(const std::vector<JudgedCircle>& judged);

}  // namespace kelmira

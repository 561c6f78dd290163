#pragma once

#include <optional>
#include <vector>

namespace kelmira {

struct EdgePoint {
  double x = 0;
  double y = 0;
};

struct FittedCircle {
  double centreX = 0;
  double centreY = 0;
  double radius = 0;
  // Points within the tolerance of the circle at the end, and the root mean square of
  // their distances from it.
  std::size_t inliers = 0;
  double rmsResidual = 0;
};

// A circle through points of which some may be wrong (an object in front of the edge, a
// stronger edge nearby): an algebraic fit to start, then geometric fits that weigh each
// point down by its distance from the circle (Tukey's biweight) until it settles. Needs
// three points that are not on one line; a short arc is enough. `tolerance` is the
// distance within which a point counts as on the circle.
std::optional<FittedCircle> fitCircleRobustly(const std::vector<EdgePoint>& points, double tolerance);

}  // namespace kelmira

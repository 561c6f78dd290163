#pragma once

#include <cstddef>
#include <cstdint>

namespace kelmira::unwarp_detail {

// The nearest whole number, halves away from zero (std::lround), without the maths library:
// the fraction v - trunc(v) is exact below 2^52.
inline int roundHalfAway(double v) {
  const auto whole = static_cast<std::int64_t>(v);
  const double fraction = v - static_cast<double>(whole);
  return static_cast<int>(whole + (fraction >= 0.5) - (fraction <= -0.5));
}

// An edge pixel at (x, y) with unit gradient (ux, uy) votes for the centres of the circles
// it could lie on: for each distance d of `distances`, the pixels nearest
// (x - d ux, y - d uy) and (x + d ux, y + d uy), where they lie in the width x height grid
// of `votes`. With the vector instructions the processor has; the same counts every way.
void castCentreVotes(int x, int y, double ux, double uy, const double* distances, std::size_t count, int width,
                     int height, float* votes);

}  // namespace kelmira::unwarp_detail

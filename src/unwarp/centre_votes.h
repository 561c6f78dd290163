#pragma once

#include <vector>

namespace kelmira {

// The Sobel gradients of a picture, row by row; zero on its border.
struct EdgeGradients {
  int width = 0;
  int height = 0;
  std::vector<float> gx;
  std::vector<float> gy;
  std::vector<float> magnitude;
};

// How often each pixel is voted for as the centre of a circle an edge could lie on: every
// pixel inside the border whose gradient is at least `threshold` votes for the points along
// its gradient, from `minRadius` to `maxRadius` away in steps of one, on both sides. The rows
// are split into `bands` (1 or more), each counted on a thread of its own; the counts are
// whole numbers, so the sum is what one band would count.
std::vector<float> countCentreVotes(const EdgeGradients& edges, double threshold, double minRadius, double maxRadius,
                                    unsigned bands);

}  // namespace kelmira

#include "unwarp/centre_vote_kernel.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "support/simd_targets.h"

namespace kelmira {
namespace {

// The votes cast plainly: for each distance, each side, the nearest pixel by std::lround.
void plainVotes(int x, int y, double ux, double uy, const std::vector<double>& distances, int w, int h,
                std::vector<float>& votes) {
  for (const double d : distances) {
    for (const double side : {-1.0, 1.0}) {
      const long cx = std::lround(x + side * d * ux);
      const long cy = std::lround(y + side * d * uy);
      if (cx < 0 || cy < 0 || cx >= w || cy >= h) continue;
      votes[std::size_t(cy) * w + cx] += 1;
    }
  }
}

class CentreVotesOnEachTarget : public test::OnEachSimdTarget {};

TEST_P(CentreVotesOnEachTarget, FallWhereRoundingTheLineGives) {
  const int w = 61, h = 47;
  // Distances by repeated addition, as the ring finder makes them: from a fraction, and from
  // a whole number, which with gradients of a half puts points exactly on halves.
  std::vector<double> distances, whole;
  for (double d = 2.3; d <= 75; d += 1) distances.push_back(d);
  for (double d = 1; d <= 75; d += 1) whole.push_back(d);
  std::vector<float> expected(std::size_t(w) * h, 0), actual(expected.size(), 0);
  std::uint32_t seed = 3;
  const auto next = [&seed] { return (seed = seed * 1664525u + 1013904223u) >> 8; };
  for (int voter = 0; voter < 400; ++voter) {
    const int x = int(next() % w), y = int(next() % h);
    double ux = std::cos(next() * 1e-5), uy = std::sin(next() * 1e-5);
    // Gradients along the axes and at 45 degrees put points on halves and on the grid's edges.
    if (voter % 3 == 0) ux = 0.5, uy = -0.5;
    if (voter % 11 == 0) ux = 1, uy = 0;
    const std::vector<double>& from = voter % 2 == 0 ? whole : distances;
    const std::size_t count = voter % 5 == 0 ? from.size() - voter % 9 : from.size();
    const std::vector<double> used(from.begin(), from.begin() + count);
    plainVotes(x, y, ux, uy, used, w, h, expected);
    unwarp_detail::castCentreVotes(x, y, ux, uy, used.data(), used.size(), w, h, actual.data());
  }
  ASSERT_EQ(expected, actual);
  float total = 0;
  for (float v : actual) total += v;
  EXPECT_GT(total, 10000);  // most votes land in the grid
}

KELMIRA_ON_EACH_SIMD_TARGET(CentreVotesOnEachTarget);

}  // namespace
}  // namespace kelmira

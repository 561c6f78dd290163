#include "unwarp/centre_votes.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

namespace kelmira {
namespace {

EdgeGradients flatField(int width, int height) {
  const std::size_t pixels = std::size_t(width) * height;
  return {width, height, std::vector<float>(pixels, 0), std::vector<float>(pixels, 0), std::vector<float>(pixels, 0)};
}

// One edge at (10, 10) with gradient (3, 4): the points 2 to 5 away along (0.6, 0.8) on both
// sides, rounded half away from zero, worked out by hand.
TEST(CentreVotes, OneEdgeVotesAlongItsGradientOnBothSides) {
  EdgeGradients edges = flatField(21, 21);
  const std::size_t at = 10 * 21 + 10;
  edges.gx[at] = 3;
  edges.gy[at] = 4;
  edges.magnitude[at] = 5;
  const std::vector<float> votes = countCentreVotes(edges, 5, 2, 5, 1);
  std::vector<float> expected(votes.size(), 0);
  for (const auto& [x, y] : {std::pair{11, 12}, std::pair{9, 8}, std::pair{12, 12}, std::pair{8, 8},
                            std::pair{12, 13}, std::pair{8, 7}, std::pair{13, 14}, std::pair{7, 6}}) {
    expected[std::size_t(y) * 21 + x] += 1;
  }
  EXPECT_EQ(votes, expected);
  EXPECT_EQ(countCentreVotes(edges, 5.5, 2, 5, 1), std::vector<float>(votes.size(), 0));  // too weak to vote
}

// The rows are split among threads; whatever the split, the counts are those of one band.
TEST(CentreVotes, VotesCountedInAnyNumberOfBandsEqualThoseOfOne) {
  std::mt19937 random(7);
  std::uniform_real_distribution<float> gradient(-40, 40);
  for (const auto& [width, height] : {std::pair{120, 90}, std::pair{37, 5}, std::pair{50, 3}, std::pair{9, 2}}) {
    EdgeGradients edges = flatField(width, height);
    for (std::size_t i = 0; i < edges.gx.size(); ++i) {
      edges.gx[i] = gradient(random);
      edges.gy[i] = gradient(random);
      edges.magnitude[i] = std::sqrt(edges.gx[i] * edges.gx[i] + edges.gy[i] * edges.gy[i]);
    }
    const std::vector<float> one = countCentreVotes(edges, 20, 3, 40, 1);
    double total = 0;
    for (const float count : one) total += count;
    if (height > 2) {
      EXPECT_GT(total, 100) << width << " x " << height;
    }
    for (const unsigned bands : {2u, 3u, 7u, 8u, 89u, 200u}) {
      EXPECT_EQ(countCentreVotes(edges, 20, 3, 40, bands), one) << width << " x " << height << ", " << bands << " bands";
    }
  }
}

}  // namespace
}  // namespace kelmira

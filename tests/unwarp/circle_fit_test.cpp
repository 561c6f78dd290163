#include "unwarp/circle_fit.h"

#include <gtest/gtest.h>

#include <cmath>

#include "support/synthetic_ring.h"

namespace kelmira {
namespace {

TEST(CircleFit, AShortArcWithAThirdOfItsPointsWrongGivesTheCircleBack) {
  test::NoiseSource random(7);
  std::vector<EdgePoint> points;
  // A quarter of a circle round (412.5, -37.25), radius 300, with a tenth of a pixel of
  // jitter; every third point belongs to something else entirely.
  for (int k = 0; k < 120; ++k) {
    const double angle = 0.2 + 1.5 * k / 120;
    const double r = k % 3 == 0 ? 300 + 8 + 40 * random.uniform() : 300 + 0.1 * random.gaussian();
    points.push_back({412.5 + r * std::cos(angle), -37.25 + r * std::sin(angle)});
  }
  const std::optional<FittedCircle> fitted = fitCircleRobustly(points, 1.5);
  ASSERT_TRUE(fitted);
  EXPECT_NEAR(fitted->centreX, 412.5, 0.1);
  EXPECT_NEAR(fitted->centreY, -37.25, 0.1);
  EXPECT_NEAR(fitted->radius, 300, 0.1);
  EXPECT_EQ(fitted->inliers, 80u);
  EXPECT_LT(fitted->rmsResidual, 0.2);

  // Too few points, or points on a line, make no circle.
  EXPECT_FALSE(fitCircleRobustly({{0, 0}, {1, 1}}, 1));
  EXPECT_FALSE(fitCircleRobustly({{0, 0}, {1, 1}, {2, 2}, {3, 3}}, 1));
}

}  // namespace
}  // namespace kelmira

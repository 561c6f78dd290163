#include "unwarp/mirror_profile_table.h"

#include <gtest/gtest.h>

#include <cmath>

namespace kelmira {
namespace {

TEST(MirrorProfileTable, MatchesTheReferenceEntriesAndFallsStrictly) {
  const MirrorProfileTable table = buildMirrorProfileTable();
  const auto& e = table.entries;
  EXPECT_EQ(e[0].imageRadius, 1.76);
  EXPECT_NEAR(e[0].cylinderHeight, 260.547586, 1e-6);
  EXPECT_NEAR(e[1].imageRadius, 1.77004, 1e-12);
  EXPECT_NEAR(e[1].cylinderHeight, 259.849077, 1e-6);
  EXPECT_NEAR(e[100].imageRadius, 2.764, 1e-9);
  EXPECT_NEAR(e[100].cylinderHeight, 191.233148, 1e-6);
  EXPECT_NEAR(e[249].imageRadius, 4.25996, 1e-9);
  EXPECT_NEAR(e[249].cylinderHeight, 123.475517, 1e-6);
  for (int k = 1; k < MirrorProfileTable::kSize; ++k) {
    EXPECT_GT(e[k].imageRadius, e[k - 1].imageRadius) << k;
    EXPECT_LT(e[k].cylinderHeight, e[k - 1].cylinderHeight) << k;
  }
  // The radius is accumulated step by step, which differs in the last bits from 1.76 + k * step.
  double t = 1.76;
  for (int k = 0; k < 250; ++k, t = t + 0.01004) EXPECT_EQ(e[k].imageRadius, t) << k;
  // Built afresh, the table is the same every time.
  const MirrorProfileTable again = buildMirrorProfileTable();
  for (int k = 0; k < 250; ++k) EXPECT_EQ(again.entries[k].cylinderHeight, e[k].cylinderHeight);
}

TEST(MirrorProfileTable, ReflectionAngleEqualsTheLawOfReflection) {
  // For a positive slope the computed sum is 2 atan(g) - atan(f / t).
  using namespace mirror_model;
  for (double t : {1.76, 2.5, 4.2}) {
    const auto [e, z] = mirrorPoint(focalLength, t);
    const double g = mirrorSlope(e);
    ASSERT_GT(g, 0);
    EXPECT_NEAR(reflectedRayAngle(focalLength, t, e), 2 * std::atan(g) - std::atan(focalLength / t), 1e-12);
    EXPECT_NEAR(z, focalLength / t * e, 1e-12);
  }
  EXPECT_EQ(mirrorPoint(focalLength, 0).first, 0);
  EXPECT_EQ(reflectedRayAngle(focalLength, -1, 3), 0);
}

TEST(RadiusForRow, SixtyRowPanorama) {
  const MirrorProfileTable table = buildMirrorProfileTable();
  EXPECT_EQ(radiusForRow(0, 60, table), 1.76);
  EXPECT_NEAR(radiusForRow(1, 60, table), 1.792831, 1e-6);
  EXPECT_NEAR(radiusForRow(30, 60, table), 2.752386, 1e-6);
  EXPECT_NEAR(radiusForRow(59, 60, table), 4.068672, 1e-6);
  // With a 1200-row round image the outermost row lies about 571.7 pixels out.
  EXPECT_NEAR(radiusForRow(59, 60, table) * 1200 * mirror_model::imageScaleFactor, 571.7, 0.05);
  // Rows past the table's end clamp to its last radius; radii grow with the row.
  EXPECT_EQ(radiusForRow(60, 60, table), table.entries[249].imageRadius);
  for (std::uint32_t i = 1; i < 725; ++i) EXPECT_GT(radiusForRow(i, 725, table), radiusForRow(i - 1, 725, table));
}

}  // namespace
}  // namespace kelmira

#include "lookaround/look_camera.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

#include "lookaround/fast_arctangent.h"
#include "lookaround/look_renderer.h"
#include "unwarp/row_elevations.h"

namespace kelmira {
namespace {

constexpr double kDegree = std::numbers::pi / 180.0;

// The elevation of the top edge's middle of a W x H view, the highest any of its rays looks,
// and of its bottom edge's middle, the lowest.
double topEdge(const LookCamera& c, int w, int h) { return c.tilt + std::atan(std::tan(c.fov / 2 * kDegree) * h / w) / kDegree; }
double bottomEdge(const LookCamera& c, int w, int h) { return c.tilt - std::atan(std::tan(c.fov / 2 * kDegree) * h / w) / kDegree; }

TEST(LookCamera, KeepsTheViewWithinThePanoramasRows) {
  const std::vector<LookSurface> surfaces = {
      LookSurface::band(60.0, -60.0, 121), LookSurface::band(89.9, -89.9, 1000), LookSurface::band(10.0, -40.0, 300),
      LookSurface::cylinder(0.4, -0.7, 200), LookSurface::squareCylinder(4557, 725)};
  for (const LookSurface& surface : surfaces) {
    for (const double tilt : {-120.0, -90.0, -30.0, 0.0, 30.0, 90.0}) {
      for (const double fov : {1.0, 45.0, 90.0, 200.0}) {
        for (const auto& [w, h] : {std::pair{800, 450}, std::pair{300, 600}}) {
          const LookCamera c = LookCamera{725.0, tilt, fov}.limited(surface, w, h);
          EXPECT_LE(topEdge(c, w, h), surface.topElevation() + 1e-9) << tilt << " " << fov;
          EXPECT_GE(bottomEdge(c, w, h), surface.bottomElevation() - 1e-9) << tilt << " " << fov;
          EXPECT_GE(c.fov, 1e-3);
          EXPECT_LE(c.fov, kWidestLookFov);
          EXPECT_DOUBLE_EQ(c.pan, 5.0);
        }
      }
    }
  }
}

TEST(LookCamera, MovesNoFurtherThanItMust) {
  const LookSurface band = LookSurface::band(60.0, -60.0, 121);
  // 200 x 100 at 90 degrees is 2 atan(1/2) = 53.1301 degrees tall: tilts to 60 - 26.5651.
  EXPECT_NEAR((LookCamera{0.0, 90.0, 90.0}).limited(band, 200, 100).tilt, 33.4349, 1e-4);
  EXPECT_NEAR((LookCamera{0.0, -90.0, 90.0}).limited(band, 200, 100).tilt, -33.4349, 1e-4);
  EXPECT_DOUBLE_EQ((LookCamera{0.0, 12.0, 90.0}).limited(band, 200, 100).tilt, 12.0);
  EXPECT_DOUBLE_EQ((LookCamera{0.0, 12.0, 90.0}).limited(band, 200, 100).fov, 90.0);
  // At most 120 wide: 2 atan(tan 60 / 2) = 81.7868 tall, within the band's 120.
  EXPECT_DOUBLE_EQ((LookCamera{0.0, 0.0, 170.0}).limited(band, 200, 100).fov, kWidestLookFov);
  // A band 20 degrees tall takes a 200 x 100 view no wider than 2 atan(2 tan 10) = 38.8508.
  const LookCamera narrow = (LookCamera{0.0, 30.0, 90.0}).limited(LookSurface::band(15.0, -5.0, 50), 200, 100);
  EXPECT_NEAR(narrow.fov, 38.8508, 1e-4);
  EXPECT_NEAR(narrow.tilt, 5.0, 1e-9);
  // The described mirror's strip, 4557 x 725, is a cylinder 2 atan(362 / 725.267) = 53.05 tall.
  const LookSurface strip = LookSurface::squareCylinder(4557, 725);
  EXPECT_NEAR(strip.topElevation(), 26.5249, 1e-3);
  EXPECT_NEAR(strip.bottomElevation(), -26.5249, 1e-3);
}

TEST(LookCamera, TopmostRowReachedAtTheHighestTilt) {
  // The first row red, the rest grey: the highest tilt shows the first row at the top edge.
  const int rows = 90;
  std::vector<std::uint8_t> pixels(3 * 360 * rows, 100);
  for (int x = 0; x < 360 * 3; x += 3) pixels[x] = 250;
  const LookSurface surface = LookSurface::cylinder(0.5, -0.5, rows);
  const LookCamera camera = LookCamera{0.0, 90.0, 60.0}.limited(surface, 160, 90);
  std::vector<std::uint8_t> view(3 * 160 * 90);
  LookRenderer renderer;
  ASSERT_TRUE(renderer.render({pixels.data(), 360, rows, 3 * 360, surface}, camera, view.data(), 160, 90, 3 * 160));
  EXPECT_GT(view[3 * 80], 180);    // the top row's middle, within a pixel of the first row
  EXPECT_LT(view[3 * 80 * 90 + 3 * 160 * 10], 110);  // ten rows down, grey
}

TEST(LookSurface, KnowsEachPanoramasRows) {
  // A movie's cylinder, tilts +30 and -20: its rows' centres fall evenly in tangent.
  const int rows = 400;
  std::vector<double> cylinder(rows), band(rows);
  const double top = std::tan(30 * kDegree), bottom = std::tan(-20 * kDegree);
  for (int r = 0; r < rows; ++r) {
    const double along = (r + 0.5) / rows;
    cylinder[r] = std::atan(top + (bottom - top) * along) / kDegree;
    band[r] = 20.0 - r * 0.2;
  }
  const LookSurface fromCylinder = LookSurface::forRows(RowElevations(cylinder), 1600);
  EXPECT_EQ(fromCylinder.kind(), LookSurfaceKind::Cylinder);
  EXPECT_NEAR(fromCylinder.topElevation(), cylinder.front(), 1e-9);
  EXPECT_NEAR(fromCylinder.rowOfTangent(std::tan(cylinder[123] * kDegree)), 123.0, 1e-6);

  const LookSurface fromBand = LookSurface::forRows(RowElevations(band), 1800);
  EXPECT_EQ(fromBand.kind(), LookSurfaceKind::Band);
  EXPECT_NEAR(fromBand.rowOfTangent(std::tan(-30.0 * kDegree)), 250.0, 1e-6);
  // Cropped and resized, a band is still one.
  EXPECT_EQ(LookSurface::forRows(RowElevations(band).cropped(40, 300).resampled(97), 900).kind(), LookSurfaceKind::Band);

  // The described mirror's rows are neither: its strip is shown as its movie shows it.
  const LookSurface mirror = LookSurface::forRows(RowElevations::ofUnwarp(725), 4557);
  EXPECT_EQ(mirror.kind(), LookSurfaceKind::Cylinder);
  EXPECT_NEAR(mirror.topElevation(), LookSurface::squareCylinder(4557, 725).topElevation(), 1e-12);
}

TEST(FastArctangent, WithinAHundredThousandthOfARadian) {
  double worst = 0.0;
  for (double t = -60.0; t <= 60.0; t += 0.0007) {
    worst = std::max<double>(worst, std::fabs(fastArctangent(static_cast<float>(t)) - std::atan(static_cast<float>(t))));
  }
  EXPECT_LT(worst, 1e-5);
  EXPECT_EQ(fastArctangent(0.0f), 0.0f);
}

}  // namespace
}  // namespace kelmira

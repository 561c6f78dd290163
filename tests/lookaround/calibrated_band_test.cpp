#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <optional>
#include <string>

#include "lookaround/look_camera.h"
#include "lookaround/look_surface.h"
#include "mirror/calibrated_panorama.h"
#include "mirror/described_mirror.h"

namespace kelmira {
namespace {

// A calibrated mirror's panorama is looked around in at its true elevations: the band of the
// sphere its rows are, not the cylinder of a strip of its size.
TEST(LookSurface, ACalibratedMirrorsPanoramaIsItsBandOfTheSphere) {
  const DescribedMirror model;
  PanoramaPlacement placement;
  placement.centre = ImagePoint{400, 300};
  placement.rimRadius = 280;
  std::string why;
  const std::optional<CalibratedPanorama> plan =
      CalibratedPanorama::plan(model, Rig::CameraBelow, ImageSize{800, 600}, placement, why);
  ASSERT_TRUE(plan) << why;
  const RowElevations& rows = plan->rows();
  const LookSurface surface = LookSurface::forRows(rows, plan->width());
  ASSERT_EQ(surface.kind(), LookSurfaceKind::Band);
  EXPECT_NEAR(surface.topElevation(), rows.top(), 1e-6);
  EXPECT_NEAR(surface.bottomElevation(), rows.bottom(), 1e-6);
  const std::size_t middle = rows.size() / 2;
  EXPECT_NEAR(surface.rowOfTangent(std::tan(rows.at(middle) * std::numbers::pi / 180.0)), double(middle), 1e-3);

  // Tilted as high as it goes, the view's top edge reaches the first row's elevation.
  const LookCamera up = LookCamera{0.0, 90.0, 60.0}.limited(surface, 800, 450);
  EXPECT_NEAR(up.tilt + up.halfHeightAngle(800, 450), rows.top(), 1e-9);
  EXPECT_NE(surface.topElevation(), LookSurface::squareCylinder(plan->width(), plan->height()).topElevation());
}

}  // namespace
}  // namespace kelmira

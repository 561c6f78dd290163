// The calibrated models against their tools' own formulas: OpenCV's omnidir projection
// for the unified model, the OCamCalib toolbox's published cam2world and world2cam.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "mirror/described_mirror.h"
#include "mirror/mirror_file_reader.h"
#include "mirror/ocam_model.h"
#include "mirror/unified_model.h"
#include "mirror_test_support.h"

namespace kelmira {
namespace {

using test::Vec3;

// The angle between two unit rays, in degrees, good also when they nearly agree.
double angleBetween(double ax, double ay, double az, double bx, double by, double bz) {
  const double cx = ay * bz - az * by, cy = az * bx - ax * bz, cz = ax * by - ay * bx;
  return std::atan2(std::sqrt(cx * cx + cy * cy + cz * cz), ax * bx + ay * by + az * bz) * test::kDeg;
}

std::unique_ptr<MirrorModel> unifiedModel(const test::UnifiedRig& r, MirrorKind kind = MirrorKind::OpenCvOmnidir) {
  UnifiedCalibration k{r.fx, r.fy, r.skew, r.cx, r.cy, r.xi, r.k1, r.k2, r.p1, r.p2, ImageSize{r.width, r.height}};
  std::string why;
  std::unique_ptr<MirrorModel> model = UnifiedModel::make(kind, k, why);
  EXPECT_TRUE(model) << why;
  return model;
}

// Rays the rig sees, spread over its elevations (-85 to its upper limit) and all round.
std::vector<Vec3> raysUpTo(double highest, int count, unsigned seed) {
  std::mt19937 random(seed);
  std::uniform_real_distribution<double> elevation(-85, highest), azimuth(-180, 180);
  std::vector<Vec3> rays;
  for (int i = 0; i < count; ++i) {
    const double e = elevation(random) / test::kDeg, a = azimuth(random) / test::kDeg;
    rays.push_back({std::cos(e) * std::cos(a), std::cos(e) * std::sin(a), -std::sin(e)});
  }
  return rays;
}

TEST(UnifiedModel, ProjectsRaysWhereOpenCvsOmnidirModuleDoesAndFindsTheRaysOfItsPixels) {
#if !KELMIRA_HAVE_OPENCV_OMNIDIR
  GTEST_SKIP() << "OpenCV's omnidir module (libopencv-contrib-dev) is not installed";
#else
  for (const test::UnifiedRig& rig : {test::omnidirRig(), test::kalibrRig()}) {
    const std::unique_ptr<MirrorModel> model = unifiedModel(rig);
    const std::vector<Vec3> rays = raysUpTo(40, 2000, 7);
    std::vector<cv::Vec3d> cvRays;
    for (const Vec3& r : rays) cvRays.push_back({r[0], r[1], r[2]});
    const std::vector<cv::Vec2d> expected = test::opencvProject(rig, cvRays);
    double worst = 0;
    std::vector<cv::Vec2d> pixels;
    for (std::size_t i = 0; i < rays.size(); ++i) {
      const std::optional<ImagePoint> p = model->pointOf(CameraRay{rays[i][0], rays[i][1], rays[i][2]});
      ASSERT_TRUE(p) << i;
      worst = std::max(worst, std::hypot(p->x - expected[i][0], p->y - expected[i][1]));
      pixels.push_back(expected[i]);
    }
    EXPECT_LT(worst, 1e-9) << "pixels of rays, xi " << rig.xi;
    // The other way: the rays of OpenCV's pixels, found by Newton's method on its projection.
    const auto unprojected = test::opencvUnproject(rig, pixels);
    double worstAngle = 0;
    for (std::size_t i = 0; i < pixels.size(); ++i) {
      ASSERT_TRUE(unprojected[i]) << i;
      const std::optional<CameraRay> ray = model->rayAt({pixels[i][0], pixels[i][1]});
      ASSERT_TRUE(ray) << i;
      const Vec3& o = *unprojected[i];
      worstAngle = std::max(worstAngle, angleBetween(ray->x, ray->y, ray->z, o[0], o[1], o[2]));
    }
    EXPECT_LT(worstAngle, 1e-5) << "rays of pixels, xi " << rig.xi;
  }
#endif
}

TEST(UnifiedModel, SeesNothingBehindTheSphereOrBeyondTheFoldOfItsDistortion) {
  const std::unique_ptr<MirrorModel> model = unifiedModel(test::omnidirRig());  // xi 0.9
  // Rays below z = -xi hide behind the sphere's front seen from (0, 0, -xi).
  EXPECT_FALSE(model->pointOf(CameraRay{0.3, 0, -0.95}));
  EXPECT_TRUE(model->pointOf(CameraRay{0.6, 0, -0.8}));
  // A distortion that folds back at u = r^2 of 1 (1 + 3 k1 u = 0): no ray beyond it.
  test::UnifiedRig folding = test::omnidirRig();
  folding.k1 = -1.0 / 3;
  folding.k2 = 0;
  const std::unique_ptr<MirrorModel> folded = unifiedModel(folding);
  EXPECT_FALSE(folded->pointOf(CameraRay{1, 0, 0}));                  // x / (z + xi) = 1.11
  EXPECT_TRUE(folded->pointOf(CameraRay{std::sqrt(0.75), 0, 0.5}));  // 0.62
  EXPECT_FALSE(folded->rayAt({folding.cx + 0.75 * folding.fx, folding.cy}));  // the fold's pixel radius is 2/3 fx
  EXPECT_TRUE(folded->rayAt({folding.cx + 0.6 * folding.fx, folding.cy}));
}

TEST(OcamModel, FollowsTheToolboxsCam2WorldAndWorld2Cam) {
  const test::OcamRig rig = test::asWritten(test::ocamRig());
  const MirrorFile file = readMirrorText(test::ocamCalibText(rig), "calib_results.txt");
  ASSERT_TRUE(file) << file.error;
  const MirrorModel& model = *file.model;
  // Rays of pixels: the toolbox's cam2world, in its frame (row, column, z away from the camera).
  double worstAngle = 0;
  for (double row = 0; row < 480; row += 7.3) {
    for (double column = 0; column < 640; column += 9.1) {
      const Vec3 expected = test::ocamCam2World(rig, row, column);
      const std::optional<CameraRay> ray = model.rayAt({column, row});
      ASSERT_TRUE(ray) << row << ", " << column;
      worstAngle = std::max(worstAngle, angleBetween(ray->y, ray->x, -ray->z, expected[0], expected[1], expected[2]));
    }
  }
  EXPECT_LT(worstAngle, 1e-9);
  // Pixels of rays: world2cam's inverse polynomial is a fit of the direct one, to within
  // a small part of a pixel over the picture; the model solves the direct polynomial.
  double worst = 0;
  for (const Vec3& r : raysUpTo(30, 3000, 3)) {
    const Vec3 toolbox{r[1], r[0], -r[2]};
    const auto expected = test::ocamWorld2Cam(rig, toolbox);
    const std::optional<ImagePoint> p = model.pointOf(CameraRay{r[0], r[1], r[2]});
    ASSERT_TRUE(p);
    worst = std::max(worst, std::hypot(p->y - expected[0], p->x - expected[1]));
    // And back exactly.
    const std::optional<CameraRay> back = model.rayAt(*p);
    ASSERT_TRUE(back);
    EXPECT_NEAR(back->x * r[0] + back->y * r[1] + back->z * r[2], 1.0, 1e-12);
  }
  EXPECT_LT(worst, 0.02);
}

TEST(OcamModel, SeesOutToWhereItsElevationStopsRising) {
  // z = -100 + 0.01 rho^2 - 2e-5 rho^3: the elevation atan2(z, rho) rises while
  // d(z / rho) / d rho = 100 / rho^2 + 0.01 - 4e-5 rho stays above 0.
  double low = 100, high = 400;
  for (int i = 0; i < 60; ++i) {
    const double middle = (low + high) / 2;
    (100 / (middle * middle) + 0.01 - 4e-5 * middle > 0 ? low : high) = middle;
  }
  OcamCalibration k;
  k.direct = {-100, 0, 0.01, -2e-5};
  k.centreRow = 240;
  k.centreColumn = 320;
  k.size = ImageSize{640, 480};
  std::string why;
  const std::unique_ptr<OcamModel> model = OcamModel::make(k, why);
  ASSERT_TRUE(model) << why;
  EXPECT_NEAR(model->seenRadii().outer, low, 0.5);
  EXPECT_TRUE(model->rayAt({320 + low - 2, 240}));
  EXPECT_FALSE(model->rayAt({320 + low + 2, 240}));
  // A centre that sees no ray, and an affine part that cannot be undone.
  k.direct = {0, 0, 0.01};
  EXPECT_FALSE(OcamModel::make(k, why));
  k.direct = {-100, 0, 0.01};
  k.c = 0.5;
  k.d = 0.5;
  k.e = 1;
  EXPECT_FALSE(OcamModel::make(k, why));
  EXPECT_NE(why.find("c - d e"), std::string::npos) << why;
}

TEST(MirrorConventions, TheCentreSeesTheCameraAndTurningRightRunsCounterclockwiseWithTheCameraBelow) {
  const std::unique_ptr<MirrorModel> model = unifiedModel(test::omnidirRig());
  const ImagePoint c = *model->centre();
  const auto below = [&](double x, double y) { return *model->directionAt({c.x + x, c.y + y}, Rig::CameraBelow); };
  const auto above = [&](double x, double y) { return *model->directionAt({c.x + x, c.y + y}, Rig::CameraAbove); };
  EXPECT_NEAR(model->directionAt(c, Rig::CameraBelow)->elevation, -90, 1e-9);
  EXPECT_NEAR(model->directionAt(c, Rig::CameraAbove)->elevation, 90, 1e-9);
  // Right of the centre is azimuth 0; above it (counterclockwise on the photograph) a
  // quarter turn to the right with the camera below, to the left with it above.
  EXPECT_NEAR(below(150, 0).azimuth, 0, 0.5);
  EXPECT_NEAR(below(0, -150).azimuth, 90, 0.5);
  EXPECT_NEAR(below(-150, 0).azimuth, 180, 0.5);
  EXPECT_NEAR(above(0, -150).azimuth, 270, 0.5);
  EXPECT_NEAR(above(0, 150).azimuth, 90, 0.5);
  // Further out looks further up with the camera below, further down with it above.
  EXPECT_GT(below(200, 0).elevation, below(100, 0).elevation);
  EXPECT_NEAR(above(200, 0).elevation, -below(200, 0).elevation, 1e-12);
  // Directions and points are each other's inverse with either rig.
  for (Rig rig : {Rig::CameraBelow, Rig::CameraAbove}) {
    const SkyDirection d = *model->directionAt({c.x + 123.4, c.y - 56.7}, rig);
    const ImagePoint p = *model->pointOf(d, rig);
    EXPECT_NEAR(p.x, c.x + 123.4, 1e-9);
    EXPECT_NEAR(p.y, c.y - 56.7, 1e-9);
  }
  EXPECT_EQ(rigFromName("camera-above"), Rig::CameraAbove);
  EXPECT_EQ(rigName(Rig::CameraBelow), "camera-below");
  EXPECT_FALSE(rigFromName("above"));
}

TEST(MirrorModel, APhotographOfTwiceTheCalibrationsSizeSeesEachRayAtTwiceItsPixel) {
#if !KELMIRA_HAVE_OPENCV_OMNIDIR
  GTEST_SKIP() << "OpenCV's omnidir module (libopencv-contrib-dev) is not installed";
#else
  // The picture's pixel edges line up: a calibration pixel x covers 2x and 2x + 1, whose
  // middle is 2x + 0.5. So OpenCV's projection with the matrix scaled about (-0.5, -0.5).
  const test::UnifiedRig rig = test::omnidirRig();
  test::UnifiedRig twice = rig;
  twice.fx *= 2;
  twice.fy *= 2;
  twice.skew *= 2;
  twice.cx = 2 * rig.cx + 0.5;
  twice.cy = 2 * rig.cy + 0.5;
  const std::unique_ptr<MirrorModel> scaled = unifiedModel(rig)->scaledForPhoto(2);
  const std::vector<Vec3> rays = raysUpTo(10, 200, 11);
  std::vector<cv::Vec3d> cvRays;
  for (const Vec3& r : rays) cvRays.push_back({r[0], r[1], r[2]});
  const auto expected = test::opencvProject(twice, cvRays);
  for (std::size_t i = 0; i < rays.size(); ++i) {
    const ImagePoint p = *scaled->pointOf(CameraRay{rays[i][0], rays[i][1], rays[i][2]});
    EXPECT_NEAR(p.x, expected[i][0], 1e-9);
    EXPECT_NEAR(p.y, expected[i][1], 1e-9);
    const CameraRay back = *scaled->rayAt({expected[i][0], expected[i][1]});
    EXPECT_LT(angleBetween(back.x, back.y, back.z, rays[i][0], rays[i][1], rays[i][2]), 1e-7);
  }
  EXPECT_NEAR(scaled->centre()->x, twice.cx, 1e-12);
#endif
}

}  // namespace
}  // namespace kelmira

namespace kelmira {
namespace {

TEST(MirrorModel, ARowOfPointsLiesWherePointOfPutsEachOfItsRays) {
  std::vector<std::unique_ptr<MirrorModel>> models;
  models.push_back(unifiedModel(test::omnidirRig())->scaledForPhoto(1.5));
  models.push_back(readMirrorText(test::ocamCalibText(test::asWritten(test::ocamRig())), "c").model);
  models.push_back(readMirrorText("0.1,-80\n0.5,-20\n1,25\n", "t").model->placedAt({300.5, 290.25}, 280));
  models.push_back(DescribedMirror().placedAt({300.5, 290.25}, 280));
  std::vector<double> cosines, sines;
  for (int j = 0; j < 50; ++j) {
    cosines.push_back(std::cos(j * 0.1257));
    sines.push_back(std::sin(j * 0.1257));
  }
  std::vector<double> xs(50), ys(50);
  for (const auto& model : models) {
    for (double elevation : {-75.0, -30.5, 0.0, 12.25, 33.0}) {
      model->pointsAtElevation(elevation, cosines.data(), sines.data(), 50, xs.data(), ys.data());
      const double e = elevation / test::kDeg;
      for (int j = 0; j < 50; ++j) {
        const std::optional<ImagePoint> p =
            model->pointOf(CameraRay{std::cos(e) * cosines[j], std::cos(e) * sines[j], -std::sin(e)});
        ASSERT_EQ(p.has_value(), !std::isnan(xs[j])) << mirrorKindName(model->kind()) << " " << elevation;
        if (!p) continue;
        EXPECT_NEAR(xs[j], p->x, 1e-6) << mirrorKindName(model->kind()) << " " << elevation;
        EXPECT_NEAR(ys[j], p->y, 1e-6) << mirrorKindName(model->kind()) << " " << elevation;
      }
    }
  }
}

}  // namespace
}  // namespace kelmira

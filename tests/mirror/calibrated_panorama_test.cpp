// Round photographs painted from each kind of mirror (a world of 10-degree elevation bands
// and 45-degree azimuth sectors, through the tools' own formulas), unwarped with the model
// read from its file: every band edge must sit within a row of its elevation and the
// sectors must run left to right as one turns right, with the camera below or above.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>

#include "image/dib_image.h"
#include "mirror/calibrated_panorama.h"
#include "mirror/calibrated_unwarp.h"
#include "mirror/described_mirror.h"
#include "mirror/mirror_file_reader.h"
#include "mirror_test_support.h"
#include "sphere/sphere_photo.h"
#include "unwarp/row_elevations.h"
#include "unwarp/unwarp_ring.h"

namespace kelmira {
namespace {

using test::Vec3;

// A mirror as read from its file, the photograph's size and placement, and the ray the
// tool's own formula gives a point of the photograph (in the camera frame of worldOf; none
// where the mirror shows nothing): a formula painted 4 x 4 times a pixel, or one ray for
// each pixel's middle.
using RayFormula = std::function<std::optional<Vec3>(double x, double y)>;
struct PaintedRig {
  std::string name;
  std::unique_ptr<MirrorModel> model;
  ImageSize photo;
  PanoramaPlacement placement;
  RayFormula formula;
  std::vector<std::optional<Vec3>> rays;
};

// The camera frame's ray at elevation `elevation` (degrees, away from the camera) and
// angle `angle` (radians, clockwise on the photograph).
Vec3 rayAt(double elevation, double angle) {
  const double e = elevation / test::kDeg;
  return {std::cos(e) * std::cos(angle), std::cos(e) * std::sin(angle), -std::sin(e)};
}

// A radially symmetric mirror: the elevation at a radius in pixels.
RayFormula radialRays(ImagePoint centre, const std::function<std::optional<double>(double)>& elevationAt) {
  return [=](double x, double y) -> std::optional<Vec3> {
    const std::optional<double> e = elevationAt(std::hypot(x - centre.x, y - centre.y));
    if (!e) return std::nullopt;
    return rayAt(*e, std::atan2(y - centre.y, x - centre.x));
  };
}

PaintedRig ocamRig() {
  const test::OcamRig m = test::asWritten(test::ocamRig());
  PaintedRig rig{"OCamCalib", readMirrorText(test::ocamCalibText(m), "calib_results.txt", ImageSize{640, 480}).model,
                 {640, 480}, {}, {}, {}};
  rig.formula = [m](double x, double y) -> std::optional<Vec3> {
    const Vec3 v = test::ocamCam2World(m, y, x);  // (row, column, z away from the camera)
    return Vec3{v[1], v[0], -v[2]};
  };
  return rig;
}

#if KELMIRA_HAVE_OPENCV_OMNIDIR
PaintedRig unifiedRig(const std::string& name, const test::UnifiedRig& r, const std::string& text) {
  PaintedRig rig{name, readMirrorText(text, name, ImageSize{r.width, r.height}).model, {r.width, r.height}, {}, {}, {}};
  std::vector<cv::Vec2d> pixels;
  for (int y = 0; y < r.height; ++y) {
    for (int x = 0; x < r.width; ++x) pixels.push_back({static_cast<double>(x), static_cast<double>(y)});
  }
  rig.rays = test::opencvUnproject(r, pixels);
  return rig;
}

std::string omnidirYaml(const test::UnifiedRig& r) {
  cv::FileStorage fs(".yaml", cv::FileStorage::WRITE | cv::FileStorage::MEMORY);
  fs << "camera_matrix" << cv::Mat(test::cameraMatrix(r));
  fs << "distortion_coefficients" << cv::Mat(cv::Matx14d(r.k1, r.k2, r.p1, r.p2));
  fs << "xi" << r.xi << "image_width" << r.width << "image_height" << r.height;
  return fs.releaseAndGetString();
}
#endif

PaintedRig tableRig() {
  // Five lines of a mirror that sees -80 degrees at a tenth of the rim and 25 at the rim.
  const std::vector<std::array<double, 2>> table{{0.1, -80}, {0.3, -50}, {0.6, -15}, {0.8, 5}, {1.0, 25}};
  std::string text = "# radius,elevation\n";
  for (const auto& [f, e] : table) text += std::to_string(f) + "," + std::to_string(e) + "\n";
  const ImagePoint centre{300.4, 299.6};
  const double rim = 298.6;  // the largest circle about the centre inside 600 x 600
  PaintedRig rig{"table", readMirrorText(text, "mirror.txt", ImageSize{600, 600}).model, {600, 600}, {}, {}, {}};
  rig.placement.centre = centre;
  rig.formula = radialRays(centre, [=](double r) -> std::optional<double> {
    const double f = r / rim;
    for (std::size_t i = 1; i < table.size(); ++i) {
      if (f >= table[i - 1][0] && f <= table[i][0]) {
        return table[i - 1][1] + (table[i][1] - table[i - 1][1]) * (f - table[i - 1][0]) / (table[i][0] - table[i - 1][0]);
      }
    }
    return std::nullopt;
  });
  return rig;
}

PaintedRig describedRig() {
  const ImagePoint centre{400, 300};
  const double rim = 280;
  PaintedRig rig{"described", std::make_unique<DescribedMirror>(), {800, 600}, {}, {}, {}};
  rig.placement.centre = centre;
  rig.placement.rimRadius = rim;
  // The classic unwarp's scale: ringScaleForRadius pixels per unit of the profile's radius.
  rig.formula = radialRays(centre, [=](double r) -> std::optional<double> {
    const double t = r / ringScaleForRadius(rim);
    if (t < 1.76 || t > 4.2599) return std::nullopt;
    return -elevationForRadius(t);  // away from its camera, which looks down on it
  });
  return rig;
}

std::array<std::uint8_t, 3> colourOf(const std::optional<Vec3>& ray, bool cameraBelow) {
  if (!ray) return {0, 0, 0};
  const auto [elevation, azimuth] = test::worldOf(*ray, cameraBelow);
  return test::worldColour(elevation, azimuth);
}

void paint(const PaintedRig& rig, bool cameraBelow, DibImage& photo) {
  EXPECT_EQ(photo.allocate(rig.photo.width, rig.photo.height), ImageError::None);
  std::uint8_t* p = photo.beginAccess();
  for (int y = 0; y < rig.photo.height; ++y) {
    for (int x = 0; x < rig.photo.width; ++x, p += 3) {
      if (!rig.formula) {
        const auto colour = colourOf(rig.rays[static_cast<std::size_t>(y) * rig.photo.width + x], cameraBelow);
        std::memcpy(p, colour.data(), 3);
        continue;
      }
      // The mean of 4 x 4 points over the pixel, so edges fall between pixels where they lie.
      int sum[3] = {0, 0, 0};
      for (int k = 0; k < 16; ++k) {
        const auto colour = colourOf(rig.formula(x - 0.375 + 0.25 * (k % 4), y - 0.375 + 0.25 * (k / 4)), cameraBelow);
        for (int c = 0; c < 3; ++c) sum[c] += colour[c];
      }
      for (int c = 0; c < 3; ++c) p[c] = static_cast<std::uint8_t>((sum[c] + 8) / 16);
    }
  }
  photo.endAccess();
}

struct Figures {
  double worstBandEdge = 0;  // rows
  double worstSectorEdge = 0;  // columns
  int bandEdges = 0;
};

// Checks one unwarped panorama; the worst deviations found.
Figures checkPanorama(const CalibratedPanorama& plan, const DibImage& panorama, const std::string& what) {
  Figures figures;
  const int width = panorama.width(), height = panorama.height();
  const std::uint8_t* pixels = panorama.pixels();
  const RowElevations& rows = plan.rows();
  EXPECT_GT(rows.top(), rows.bottom()) << what << ": the sky is up";
  // Band edges, column by column: exactly the expected ones, each within a row.
  std::vector<double> expected;  // top row first
  for (int e = 180; e >= -180; e -= 10) {
    const double row = rows.rowAt(e);
    if (row > 1 && row < height - 2) expected.push_back(row);
  }
  EXPECT_GE(expected.size(), 4u) << what;
  for (int x = 0; x < width; x += 5) {
    std::vector<double> found;
    for (int y = 0; y + 1 < height; ++y) {
      // Where red crosses half way, between the two rows' values.
      const double a = pixels[3 * (y * width + x)], b = pixels[3 * ((y + 1) * width + x)];
      if ((a >= 128) != (b >= 128)) found.push_back(y + (127.5 - a) / (b - a));
    }
    // Edges right at the first or last row may or may not show.
    std::erase_if(found, [&](double y) { return y < 1 || y > height - 2; });
    EXPECT_EQ(found.size(), expected.size()) << what << ", column " << x;
    if (found.size() != expected.size()) return figures;
    for (std::size_t k = 0; k < found.size(); ++k) {
      figures.worstBandEdge = std::max(figures.worstBandEdge, std::abs(found[k] - expected[k]));
      ++figures.bandEdges;
    }
  }
  EXPECT_LE(figures.worstBandEdge, 1.0) << what;
  // Sectors: 0 to 7 from the left, their edges within a column of k x 45 degrees.
  const int middle = height / 2;
  const std::uint8_t* row = pixels + 3 * static_cast<std::size_t>(middle) * width;
  for (int k = 0; k < 8; ++k) {
    const int x = static_cast<int>(std::lround((45 * k + 22.5) * width / 360.0));
    EXPECT_EQ(row[3 * x + 1], 16 + 32 * k) << what << ", sector " << k;
  }
  // Where a blend between two sectors' greens changes from nearer one to nearer the other.
  const auto sector = [&](int x) { return std::lround((row[3 * x + 1] - 16) / 32.0); };
  int edges = 0;
  // Column 0 looks at azimuth 0, on the edge between the last sector and the first, whose
  // blend reads as a sector in between: that edge is left out.
  for (int x = 2; x + 3 < width; ++x) {
    if (sector(x) == sector(x + 1)) continue;
    ++edges;
    const double column = x + 0.5, edge = std::round(column * 8.0 / width) * width / 8.0;
    figures.worstSectorEdge = std::max(figures.worstSectorEdge, std::abs(column - edge));
  }
  EXPECT_EQ(edges, 7) << what;
  EXPECT_LE(figures.worstSectorEdge, 1.0) << what;
  return figures;
}

void unwarpBothRigs(const PaintedRig& rig) {
  ASSERT_TRUE(rig.model) << rig.name;
  for (Rig r : {Rig::CameraBelow, Rig::CameraAbove}) {
    const std::string what = rig.name + " " + std::string(rigName(r));
    DibImage photo;
    paint(rig, r == Rig::CameraBelow, photo);
    std::string why;
    const std::optional<CalibratedPanorama> plan = CalibratedPanorama::plan(*rig.model, r, rig.photo, rig.placement, why);
    ASSERT_TRUE(plan) << what << ": " << why;
    DibImage panorama;
    ASSERT_EQ(makeCalibratedPanorama(photo, *plan, panorama), 0) << what;
    ASSERT_EQ(panorama.width(), plan->width());
    ASSERT_EQ(panorama.height(), plan->height());
    const Figures figures = checkPanorama(*plan, panorama, what);
    ::testing::Test::RecordProperty(what + " worst band edge (rows)", std::to_string(figures.worstBandEdge));
    ::testing::Test::RecordProperty(what + " band edges", std::to_string(figures.bandEdges));
    ::testing::Test::RecordProperty(what + " worst sector edge (columns)", std::to_string(figures.worstSectorEdge));
    ::testing::Test::RecordProperty(what + " panorama",
                                    std::to_string(plan->width()) + " x " + std::to_string(plan->height()) + ", " +
                                        std::to_string(plan->rows().top()) + " to " +
                                        std::to_string(plan->rows().bottom()));
    // The 360-degree photo takes the rows as they are: no vertical resampling.
    DibImage sphere;
    SphereFrame frame;
    ASSERT_TRUE(makeSpherePhoto(panorama, plan->rows(), sphere, frame)) << what;
    EXPECT_EQ(frame.top, plan->sphereTop()) << what;
    ASSERT_EQ(frame.height, plan->height()) << what;
    EXPECT_EQ(std::memcmp(sphere.pixels(), panorama.pixels(), 3 * static_cast<std::size_t>(panorama.width()) *
                                                                    panorama.height()),
              0)
        << what;
  }
}

TEST(CalibratedPanorama, OcamCalibRowsSitAtTheirElevationsWithEitherRig) { unwarpBothRigs(ocamRig()); }

TEST(CalibratedPanorama, OpenCvOmnidirAndKalibrRowsSitAtTheirElevationsWithEitherRig) {
#if !KELMIRA_HAVE_OPENCV_OMNIDIR
  GTEST_SKIP() << "OpenCV's omnidir module (libopencv-contrib-dev) is not installed";
#else
  unwarpBothRigs(unifiedRig("omni.yaml", test::omnidirRig(), omnidirYaml(test::omnidirRig())));
  unwarpBothRigs(unifiedRig("camchain.yaml", test::kalibrRig(), test::kalibrCamchainText(test::kalibrRig())));
#endif
}

TEST(CalibratedPanorama, TableAndDescribedMirrorRowsSitAtTheirElevationsWithEitherRig) {
  unwarpBothRigs(tableRig());
  unwarpBothRigs(describedRig());
}

TEST(CalibratedPanorama, TakesItsCentreRimAndInnerRadiusFromTheCalibrationAndThePhotograph) {
  const PaintedRig ocam = ocamRig();
  std::string why;
  PanoramaPlacement placement;
  placement.centre = ImagePoint{10, 10};  // a calibration keeps its own centre
  const auto plan = CalibratedPanorama::plan(*ocam.model, Rig::CameraBelow, ocam.photo, placement, why);
  ASSERT_TRUE(plan) << why;
  EXPECT_EQ(plan->centre().x, 322.7);
  EXPECT_EQ(plan->centre().y, 241.3);
  EXPECT_DOUBLE_EQ(plan->rimRadius(), 479 - 241.3);  // the nearest edge is the bottom
  EXPECT_DOUBLE_EQ(plan->innerRadius(), (479 - 241.3) / 5);
  EXPECT_EQ(plan->width() % 2, 0);
  EXPECT_NEAR(plan->width(), std::numbers::pi * 1.2 * (479 - 241.3), 1);
  // Square pixels on the horizon: a row spans as many degrees as a column.
  EXPECT_NEAR(plan->rows().at(0) - plan->rows().at(1), 360.0 / plan->width(), 1e-9);
  EXPECT_LT(plan->innerElevation(), plan->rimElevation());  // camera below: further out looks further up
  EXPECT_EQ(plan->rows().size(), static_cast<std::size_t>(plan->height()));

  placement = {};
  placement.innerRadius = 60;
  placement.rimRadius = 200;
  placement.width = 1001;
  const auto given = CalibratedPanorama::plan(*ocam.model, Rig::CameraAbove, ocam.photo, placement, why);
  ASSERT_TRUE(given) << why;
  EXPECT_EQ(given->innerRadius(), 60);
  EXPECT_EQ(given->rimRadius(), 200);
  EXPECT_EQ(given->width(), 1002);
  EXPECT_GT(given->innerElevation(), given->rimElevation());  // camera above: the other way

  placement.innerRadius = 250;
  EXPECT_FALSE(CalibratedPanorama::plan(*ocam.model, Rig::CameraBelow, ocam.photo, placement, why));
  EXPECT_EQ(why, "the inner radius 250 must lie below the rim radius 200");
  placement = {};
  placement.width = 100000;
  EXPECT_FALSE(CalibratedPanorama::plan(*ocam.model, Rig::CameraBelow, ocam.photo, placement, why));
  EXPECT_NE(why.find("too wide"), std::string::npos);

  // A table placed at the photograph's edge, or the photograph's middle without a centre.
  const PaintedRig table = tableRig();
  placement = {};
  placement.centre = ImagePoint{1, 300};
  EXPECT_FALSE(CalibratedPanorama::plan(*table.model, Rig::CameraBelow, table.photo, placement, why));
  EXPECT_NE(why.find("edge"), std::string::npos) << why;
  const auto middle = CalibratedPanorama::plan(*table.model, Rig::CameraBelow, table.photo, {}, why);
  ASSERT_TRUE(middle) << why;
  EXPECT_EQ(middle->centre().x, 300);
  // The table starts at a tenth of the rim: a fifth is inside it, a twentieth is not.
  EXPECT_DOUBLE_EQ(middle->innerRadius(), 299.0 / 5);
  placement.centre = ImagePoint{300, 300};
  placement.innerRadius = 15;
  EXPECT_NEAR(CalibratedPanorama::plan(*table.model, Rig::CameraBelow, table.photo, placement, why)->innerRadius(),
              29.9, 1e-9);
}

TEST(CalibratedPanorama, RefusesAMirrorWhoseElevationsFoldBackInsideTheRing) {
  // The radial distortion folds back at a normalised radius of 1 (1 + 3 k1 r^2 = 0),
  // 127 pixels out, well inside the rim.
  test::UnifiedRig r = test::omnidirRig();
  r.k1 = -1.0 / 3;
  r.k2 = 0;
  char text[512];
  std::snprintf(text, sizeof text,
                "%%YAML:1.0\n---\ncamera_matrix: !!opencv-matrix\n   rows: 3\n   cols: 3\n   dt: d\n"
                "   data: [ %g, 0., %g, 0., %g, %g, 0., 0., 1. ]\n"
                "distortion_coefficients: !!opencv-matrix\n   rows: 1\n   cols: 4\n   dt: d\n"
                "   data: [ %.17g, 0., 0., 0. ]\nxi: %g\n",
                r.fx, r.cx, r.fy, r.cy, r.k1, r.xi);
  const MirrorFile file = readMirrorText(text, "folded.yaml", ImageSize{640, 480});
  ASSERT_TRUE(file) << file.error;
  std::string why;
  EXPECT_FALSE(CalibratedPanorama::plan(*file.model, Rig::CameraBelow, {640, 480}, {}, why));
  EXPECT_NE(why.find("do not change steadily"), std::string::npos) << why;
  PanoramaPlacement inside;
  inside.rimRadius = 110;
  EXPECT_TRUE(CalibratedPanorama::plan(*file.model, Rig::CameraBelow, {640, 480}, inside, why)) << why;
}

}  // namespace
}  // namespace kelmira

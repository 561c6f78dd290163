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
#include "painted_rigs.h"
#include "sphere/sphere_photo.h"
#include "unwarp/row_elevations.h"
#include "unwarp/unwarp_ring.h"

namespace kelmira {
namespace {

using test::PaintedRig;

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
    test::paint(rig, r == Rig::CameraBelow, photo);
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

TEST(CalibratedPanorama, OcamCalibRowsSitAtTheirElevationsWithEitherRig) { unwarpBothRigs(test::ocamPaintedRig()); }

TEST(CalibratedPanorama, OpenCvOmnidirAndKalibrRowsSitAtTheirElevationsWithEitherRig) {
#if !KELMIRA_HAVE_OPENCV_OMNIDIR
  GTEST_SKIP() << "OpenCV's omnidir module (libopencv-contrib-dev) is not installed";
#else
  unwarpBothRigs(test::omnidirPaintedRig());
  unwarpBothRigs(test::kalibrPaintedRig());
#endif
}

TEST(CalibratedPanorama, TableAndDescribedMirrorRowsSitAtTheirElevationsWithEitherRig) {
  unwarpBothRigs(test::tablePaintedRig());
  unwarpBothRigs(test::describedPaintedRig());
}

TEST(CalibratedPanorama, TakesItsCentreRimAndInnerRadiusFromTheCalibrationAndThePhotograph) {
  const PaintedRig ocam = test::ocamPaintedRig();
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

  // A rim beyond the photograph: the band ends at its edge.
  placement.rimRadius = 400;
  EXPECT_DOUBLE_EQ(CalibratedPanorama::plan(*ocam.model, Rig::CameraAbove, ocam.photo, placement, why)->rimRadius(),
                   479 - 241.3);
  placement.rimRadius = 200;
  placement.innerRadius = 250;
  EXPECT_FALSE(CalibratedPanorama::plan(*ocam.model, Rig::CameraBelow, ocam.photo, placement, why));
  EXPECT_EQ(why, "the inner radius 250 must lie below the rim radius 200");
  placement = {};
  placement.width = 100000;
  EXPECT_FALSE(CalibratedPanorama::plan(*ocam.model, Rig::CameraBelow, ocam.photo, placement, why));
  EXPECT_NE(why.find("too wide"), std::string::npos);

  // A table placed at the photograph's edge, or the photograph's middle without a centre.
  const PaintedRig table = test::tablePaintedRig();
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

// The attachment's own mirror as one model among others, its table file, and the report
// `info --mirror` prints.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "mirror/described_mirror.h"
#include "mirror/mirror_file_reader.h"
#include "mirror/mirror_report.h"
#include "mirror_test_support.h"
#include "support/session_locale.h"
#include "unwarp/mirror_profile_table.h"
#include "unwarp/row_elevations.h"
#include "unwarp/unwarp_ring.h"

namespace kelmira {
namespace {

TEST(DescribedMirror, WithTheCameraAboveSeesWhatTheClassicUnwarpSamples) {
  // The classic unwarp of 90 rows and 720 columns about (512.5, 380.25), ring radius 370:
  // row i samples the radius radiusForRow x ringScaleForRadius at elevation
  // RowElevations::ofUnwarp; column j lies j / 720 of a turn clockwise on the photograph,
  // which is turning right with the camera above.
  const ImagePoint centre{512.5, 380.25};
  const double rim = 370;
  const std::unique_ptr<MirrorModel> model = DescribedMirror().placedAt(centre, rim);
  const MirrorProfileTable table = buildMirrorProfileTable();
  const RowElevations rows = RowElevations::ofUnwarp(90);
  const double scale = ringScaleForRadius(rim);
  double worst = 0;
  for (std::uint32_t i = 0; i < 90; i += 3) {
    const double t = radiusForRow(i, 90, table);
    for (int j = 0; j < 720; j += 17) {
      const double theta = j * mirror_model::twoPi / 720;
      const std::optional<ImagePoint> p = model->pointOf(SkyDirection{rows.at(i), j * 0.5}, Rig::CameraAbove);
      ASSERT_TRUE(p) << i << ", " << j;
      worst = std::max(worst, std::hypot(p->x - (t * std::cos(theta) * scale + centre.x),
                                         p->y - (t * std::sin(theta) * scale + centre.y)));
    }
  }
  EXPECT_LT(worst, 1e-6);
  EXPECT_FALSE(model->calibrated());
  EXPECT_NEAR(model->seenRadii().inner, 1.76 * scale, 1e-9);
}

TEST(DescribedMirror, ItsTableFileIsItsProfileAndReadsBackAsIt) {
  const char* source = std::getenv("KELMIRA_SOURCE_DIR");
  ASSERT_NE(source, nullptr);
  const std::string path = std::string(source) + "/res/mirror/kelmira-mirror-table.txt";
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  EXPECT_EQ(text.str(), describedMirrorTableText()) << "write it again from describedMirrorTableText()";
  const MirrorFile file = readMirrorFile(path);
  ASSERT_TRUE(file) << file.error;
  const std::unique_ptr<MirrorModel> table = file.model->placedAt({400, 300}, 290);
  const std::unique_ptr<MirrorModel> exact = DescribedMirror().placedAt({400, 300}, 290);
  double worst = 0;
  for (double r = 120; r <= 289; r += 0.37) {
    worst = std::max(worst, std::abs(table->directionAt({400 + r, 300}, Rig::CameraBelow)->elevation -
                                     exact->directionAt({400 + r, 300}, Rig::CameraBelow)->elevation));
  }
  EXPECT_LT(worst, 1e-3);  // degrees, between the table's lines
  EXPECT_EQ(describedMirrorTable().size(), 250u);
}

TEST(MirrorReport, SaysTheKindCentreAndElevationsInEveryLocale) {
  const std::string calibResults = test::ocamCalibText(test::asWritten(test::ocamRig()));  // before the session
  const test::GermanSession german;
  if (!german.active()) GTEST_SKIP() << german.whyNot();
  const MirrorFile ocam = readMirrorText(calibResults, "c");
  ASSERT_TRUE(ocam) << ocam.error;
  const std::string text = describeMirror(*ocam.model);
  EXPECT_EQ(text.substr(0, text.find("elevations")),
            "kind: OCamCalib\nrig: camera-below\nimage size: 640 x 480\ncentre: 322.70, 241.30\n");
  // The rim is the nearest edge (row 479), a fifth of it the inner radius.
  EXPECT_NE(text.find("elevations: -90.0 at the centre to 10.3 at the rim (radius 237.70)\n"), std::string::npos) << text;
  EXPECT_NE(text.find("panorama: -65.5 at radius 47.54 to 10.3 degrees, 896 x 189 pixels\n"), std::string::npos) << text;
  const std::string above = describeMirror(*ocam.model, Rig::CameraAbove);
  EXPECT_NE(above.find("elevations: 90.0 at the centre to -10.3 at the rim"), std::string::npos) << above;

  const MirrorFile table = readMirrorText("0,-90\n1,20\n", "t");
  EXPECT_EQ(describeMirror(*table.model),
            "kind: mirror table\nrig: camera-below\ncentre: from the photograph (the ring finder or --centre)\n"
            "elevations: -90.0 at 0.000 of the rim's radius to 20.0 at 1.000\npanorama: -68.0 to 20.0 degrees\n");
  EXPECT_NE(describeMirror(DescribedMirror()).find("kind: Kelmira mirror\n"), std::string::npos);
}

TEST(MirrorReport, SummarisesACalibrationForTheWindow) {
  const MirrorFile kalibr =
      readMirrorText(test::kalibrCamchainText(test::kalibrRig()), "camchain.yaml", ImageSize{1600, 1200});
  ASSERT_TRUE(kalibr) << kalibr.error;
  const MirrorSummary s = summarizeMirror(*kalibr.model, Rig::CameraAbove);
  EXPECT_EQ(s.kind, MirrorKind::KalibrOmni);
  EXPECT_EQ(s.calibrationSize->width, 800);
  EXPECT_EQ(s.photoScale, 2);
  EXPECT_DOUBLE_EQ(s.centre->x, 2 * 400.2 + 0.5);
  EXPECT_DOUBLE_EQ(s.rimRadius, 2 * 299.1 + 0.5);  // the top edge is nearest
  EXPECT_EQ(s.innermostElevation, 90);             // the camera, above
  EXPECT_LT(s.rimElevation, 0);
  EXPECT_GT(s.panoramaHeight, 0);
  EXPECT_TRUE(s.problem.empty());
  EXPECT_FALSE(s.radiiAsFractions);
}

}  // namespace
}  // namespace kelmira

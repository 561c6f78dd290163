// kelmira-cli with --mirror: round photographs painted through each kind of mirror, their
// files written as the tools write them, made into 360-degree photos by the real program.
// The photo's Photo Sphere fields are read back with exiftool, and every edge of the
// painted world's 10-degree bands must lie within a row of where those fields put its
// elevation; the 45-degree sectors must run left to right as one turns right.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "cli_runner.h"
#include "image/dib_image.h"
#include "mirror/painted_rigs.h"
#include "support/test_files.h"

namespace kelmira {
namespace {

using test::PaintedRig;
using test::GPano;
using test::RunResult;
using test::runCli;

std::string source() { return std::getenv("KELMIRA_SOURCE_DIR"); }
std::string sample() { return source() + "/samples/mirror-sample.jpg"; }

void writeText(const std::string& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

std::string readText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// The options that place a rig's ring: a table's centre, a rim given.
std::string placementOptions(const PaintedRig& rig) {
  std::string options;
  if (rig.placement.centre) {
    options += " --centre " + std::to_string(std::lround(rig.placement.centre->x)) + "," +
               std::to_string(std::lround(rig.placement.centre->y));
  }
  if (rig.placement.rimRadius) options += " --ring-radius " + std::to_string(*rig.placement.rimRadius);
  return options;
}

void sphereThroughTheCli(const PaintedRig& rig, const std::string& fileName) {
  ASSERT_TRUE(rig.model) << rig.name;
  test::TempDir dir;
  const std::string mirror = dir.file(fileName);
  writeText(mirror, rig.text);
  for (const bool below : {true, false}) {
    const std::string what = fileName + (below ? " camera-below" : " camera-above");
    DibImage round;
    test::paint(rig, below, round);
    ASSERT_EQ(round.saveToFile(dir.file("round.bmp"), FileTypeBmp), ImageError::None);
    const std::string out = dir.file(below ? "below_360.jpg" : "above_360.jpg");
    const RunResult made = runCli("sphere " + dir.file("round.bmp") + " " + out + " --quality 100 --mirror " + mirror +
                                  (below ? "" : " --rig camera-above") + placementOptions(rig));
    ASSERT_EQ(made.status, 0) << what << ": " << made.output;
    const GPano g = test::readGPano(out);
    ASSERT_GT(g.fullWidth, 0) << what << ": no Photo Sphere fields";
    EXPECT_EQ(g.fullHeight, g.fullWidth / 2) << what;
    DibImage photo;
    ASSERT_EQ(photo.loadFromFile(out), ImageError::None) << what;
    const test::BandFigures figures = test::checkSpherePhoto(photo, g, what);
    std::printf("[ figures  ] %s: %d band edges, worst %.3f rows, %d x %d of a %d x %d sphere from row %d\n",
                what.c_str(), figures.bandEdges, figures.worstBandEdge, g.fullWidth, g.height, g.fullWidth,
                g.fullHeight, g.top);
    ::testing::Test::RecordProperty(what + " worst band edge (rows)", std::to_string(figures.worstBandEdge));
  }
}

TEST(KelmiraCliMirror, SpherePhotoRowsSitAtAnOcamCalibCalibrationsElevationsWithEitherRig) {
  if (!test::haveExiftool()) GTEST_SKIP() << "exiftool is not installed (scripts/setup.sh test installs it)";
  sphereThroughTheCli(test::ocamPaintedRig(), "calib_results.txt");
}

TEST(KelmiraCliMirror, SpherePhotoRowsSitAtOpenCvOmnidirAndKalibrElevationsWithEitherRig) {
#if !KELMIRA_HAVE_OPENCV_OMNIDIR
  GTEST_SKIP() << "OpenCV's omnidir module (libopencv-contrib-dev) is not installed";
#else
  if (!test::haveExiftool()) GTEST_SKIP() << "exiftool is not installed (scripts/setup.sh test installs it)";
  sphereThroughTheCli(test::omnidirPaintedRig(), "omni_calibration.yaml");
  sphereThroughTheCli(test::kalibrPaintedRig(), "camchain.yaml");
#endif
}

TEST(KelmiraCliMirror, SpherePhotoRowsSitAtAMirrorTablesElevationsWithEitherRig) {
  if (!test::haveExiftool()) GTEST_SKIP() << "exiftool is not installed (scripts/setup.sh test installs it)";
  // The command line takes whole pixels for the centre.
  sphereThroughTheCli(test::tablePaintedRig({300, 300}), "mirror.txt");
  sphereThroughTheCli(test::describedPaintedRig(), "kelmira-mirror-table.txt");
}

// The web page's viewer keeps to the band the mirror sees: its limits are the 360-degree
// photo's, which the calibration sets.
TEST(KelmiraCliMirror, TheWebPagesLimitsAreThoseOfTheCalibratedPhoto) {
  if (!test::haveExiftool()) GTEST_SKIP() << "exiftool is not installed (scripts/setup.sh test installs it)";
  test::TempDir dir;
  const PaintedRig rig = test::ocamPaintedRig();
  writeText(dir.file("calib_results.txt"), rig.text);
  DibImage round;
  test::paint(rig, true, round);
  ASSERT_EQ(round.saveToFile(dir.file("round.bmp"), FileTypeBmp), ImageError::None);
  const std::string options = " --mirror " + dir.file("calib_results.txt");
  ASSERT_EQ(runCli("sphere " + dir.file("round.bmp") + " " + dir.file("r_360.jpg") + options).status, 0);
  const RunResult page = runCli("web " + dir.file("round.bmp") + " " + dir.file("r.html") + options);
  ASSERT_EQ(page.status, 0) << page.output;
  const GPano g = test::readGPano(dir.file("r_360.jpg"));
  char expected[128];
  std::snprintf(expected, sizeof expected, "var vertical = %.17g, middle = %.17g;", g.height * 180.0 / g.fullHeight,
                90.0 - (g.top + g.height / 2.0) * 180.0 / g.fullHeight);
  const std::string html = readText(dir.file("r.html"));
  const std::size_t at = html.find("var vertical = ");
  ASSERT_NE(at, std::string::npos);
  double vertical = 0, middle = 0;
  ASSERT_EQ(std::sscanf(html.c_str() + at, "var vertical = %lf, middle = %lf;", &vertical, &middle), 2);
  // The page writes six significant digits.
  EXPECT_NEAR(vertical, g.height * 180.0 / g.fullHeight, 1e-4) << expected;
  EXPECT_NEAR(middle, 90.0 - (g.top + g.height / 2.0) * 180.0 / g.fullHeight, 1e-4) << expected;
  // Not the attachment's band: the calibration's reaches far lower.
  EXPECT_LT(middle - vertical / 2, -50);
}

TEST(KelmiraCliMirror, UnwarpAndBatchesTakeTheMirrorAndInfoDescribesIt) {
  test::TempDir dir;
  const PaintedRig rig = test::ocamPaintedRig();
  const std::string calib = dir.file("calib_results.txt");
  writeText(calib, rig.text);
  DibImage round;
  test::paint(rig, false, round);
  ASSERT_EQ(round.saveToFile(dir.file("a.bmp"), FileTypeBmp), ImageError::None);
  // Twice the calibration's size: the model is scaled to it, its centre with it.
  DibImage large;
  ASSERT_EQ(large.allocate(1280, 960), ImageError::None);
  std::uint8_t* to = large.beginAccess();
  for (int y = 0; y < 960; ++y)
    for (int x = 0; x < 1280; ++x, to += 3) std::memcpy(to, round.pixels() + 3 * (640 * (y / 2) + x / 2), 3);
  large.endAccess();
  ASSERT_EQ(large.saveToFile(dir.file("large.bmp"), FileTypeBmp), ImageError::None);

  RunResult run = runCli("unwarp " + dir.file("a.bmp") + " " + dir.file("a.tif") + " --mirror " + calib +
                         " --rig camera-above --inner-radius 30");
  ASSERT_EQ(run.status, 0) << run.output;
  EXPECT_NE(run.output.find("panorama of the OCamCalib (camera-above) around (322.7, 241.3), radii 30.0 to 237.7"),
            std::string::npos)
      << run.output;
  DibImage panorama;
  ASSERT_EQ(panorama.loadFromFile(dir.file("a.tif")), ImageError::None);
  EXPECT_EQ(panorama.width(), 842);  // pi (30 + 237.7), made even

  run = runCli("unwarp " + dir.file("large.bmp") + " " + dir.file("large.jpg") + " --mirror " + calib);
  ASSERT_EQ(run.status, 0) << run.output;
  EXPECT_NE(run.output.find("panorama of the OCamCalib (camera-below) around (645.9, 483.1), radii 95.2 to 475.9"),
            std::string::npos)
      << run.output;

  // A batch: every photograph through the mirror.
  std::filesystem::copy_file(dir.file("a.bmp"), dir.file("b.bmp"));
  run = runCli("sphere " + dir.file("a.bmp") + " " + dir.file("b.bmp") + " --out-dir " + dir.file("out") +
               " --mirror " + calib + " --rig camera-above");
  ASSERT_EQ(run.status, 0) << run.output;
  EXPECT_EQ(test::readFileBytes(dir.file("out/a_360.jpg")), test::readFileBytes(dir.file("out/b_360.jpg")));
  run = runCli("unwarp " + dir.file("a.bmp") + " --out-dir " + dir.file("pano") + " --format bmp --mirror " + calib);
  ASSERT_EQ(run.status, 0) << run.output;
  DibImage batchPanorama;
  ASSERT_EQ(batchPanorama.loadFromFile(dir.file("pano/a_pano.bmp")), ImageError::None);
  EXPECT_EQ(batchPanorama.width(), 896);

  // info: the model's kind, centre and elevations.
  run = runCli("info --mirror " + calib);
  ASSERT_EQ(run.status, 0) << run.output;
  EXPECT_NE(run.output.find("kind: OCamCalib\nrig: camera-below\nimage size: 640 x 480\ncentre: 322.70, 241.30\n"
                            "elevations: -90.0 at the centre to "),
            std::string::npos)
      << run.output;
  run = runCli("info " + dir.file("a.bmp") + " --mirror " + calib + " --rig camera-above");
  EXPECT_NE(run.output.find("width: 640\nheight: 480\nmirror: "), std::string::npos) << run.output;
  EXPECT_NE(run.output.find("elevations: 90.0 at the centre"), std::string::npos) << run.output;
  EXPECT_EQ(runCli("info").status, 2);
}

TEST(KelmiraCliMirror, RefusesWhatDoesNotGoTogetherAndNamesTheFile) {
  test::TempDir dir;
  const std::string calib = dir.file("calib_results.txt");
  writeText(calib, test::ocamPaintedRig().text);
  const std::string table = dir.file("table.txt");
  writeText(table, "0.2,-60\n1,20\n");
  const std::string out = dir.file("out.jpg");
  struct Case {
    std::string options;
    int status;
    std::string says;
  };
  const Case cases[] = {
      {"--rig camera-above", 2, "--rig and --inner-radius go with --mirror FILE"},
      {"--inner-radius 20", 2, "--rig and --inner-radius go with --mirror FILE"},
      {"--mirror " + calib + " --rig upside-down", 2, "expected camera-below or camera-above"},
      {"--mirror " + calib + " --lens-thread", 2, "--lens-thread is the attachment's own mirror"},
      {"--mirror " + calib + " --centre 10,10", 2, "calib_results.txt: a calibration sees the camera at its own centre"},
      {"--mirror " + dir.file("none.txt"), 1, "none.txt: no such file"},
      {"--mirror " + sample(), 1, "mirror-sample.jpg: not a mirror file"},
      // The sample is 1600 x 1200, the calibration 640 x 480: the same shape, scaled; the
      // table's inner radius is given beyond its rim.
      {"--mirror " + table + " --inner-radius 700", 1, "table.txt: the inner radius 700 must lie below the rim radius"},
  };
  for (const Case& c : cases) {
    const RunResult run = runCli("unwarp " + sample() + " " + out + " " + c.options);
    EXPECT_EQ(run.status, c.status) << c.options << ": " << run.output;
    EXPECT_NE(run.output.find(c.says), std::string::npos) << c.options << ": " << run.output;
    EXPECT_FALSE(std::filesystem::exists(out)) << c.options;
  }
  // A calibration for another shape of picture.
  DibImage square;
  ASSERT_EQ(square.allocate(500, 500), ImageError::None);
  ASSERT_EQ(square.saveToFile(dir.file("square.bmp"), FileTypeBmp), ImageError::None);
  const RunResult run = runCli("sphere " + dir.file("square.bmp") + " " + out + " --mirror " + calib);
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.output.find("calib_results.txt: the calibration is for pictures of 640 x 480 pixels"),
            std::string::npos)
      << run.output;
  EXPECT_FALSE(std::filesystem::exists(out));
}

}  // namespace
}  // namespace kelmira

// kelmira-cli video --mirror: a mirror video painted through a table and through an OpenCV
// omnidir calibration (grey 10-degree bands of elevation and a mark on one azimuth), made
// with the ffmpeg program, and its 360-degree video read back with ffmpeg. Every band edge of
// the frames must lie within a row of where the equirectangular frame puts its elevation,
// with either rig, as the 360-degree photo's do; the rows the mirror does not see are black.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <string>

#include "cli_runner.h"
#include "mirror/mirror_choice.h"
#include "mirror/painted_rigs.h"
#include "support/test_files.h"

namespace kelmira {
namespace {

using test::PaintedRig;

constexpr int kDarkBand = 50;
constexpr int kBrightBand = 210;
constexpr std::uint32_t kWidth = 1024;  // of the 360-degree video; 512 rows

std::string bytesOf(const std::string& command) {
  std::string bytes;
  std::FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return bytes;
  char buffer[65536];
  for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) bytes.append(buffer, got);
  pclose(pipe);
  return bytes;
}

// The grey the world shows a ray: bands of 10 degrees, dark and bright by turns, darker
// still within 10 degrees of azimuth 90 so the way round shows.
std::uint8_t greyOf(const std::optional<test::Vec3>& ray, bool cameraBelow) {
  if (!ray) return 0;
  const auto [elevation, azimuth] = test::worldOf(*ray, cameraBelow);
  const bool bright = static_cast<int>(std::floor(elevation / 10)) % 2 == 0;
  const bool marked = std::fabs(azimuth - 90) < 10;
  return static_cast<std::uint8_t>((bright ? kBrightBand : kDarkBand) - (marked ? 40 : 0));
}

// The rig's view, grey, one byte a pixel, averaged over 4 x 4 points of each pixel where
// the tool's formula is given.
std::string paintedGrey(const PaintedRig& rig, bool cameraBelow) {
  std::string grey(static_cast<std::size_t>(rig.photo.width) * rig.photo.height, '\0');
  for (int y = 0; y < rig.photo.height; ++y) {
    for (int x = 0; x < rig.photo.width; ++x) {
      int value = 0;
      if (rig.formula) {
        for (int k = 0; k < 16; ++k) {
          value += greyOf(rig.formula(x - 0.375 + 0.25 * (k % 4), y - 0.375 + 0.25 * (k / 4)), cameraBelow);
        }
        value = (value + 8) / 16;
      } else {
        value = greyOf(rig.rays[static_cast<std::size_t>(y) * rig.photo.width + x], cameraBelow);
      }
      grey[static_cast<std::size_t>(y) * rig.photo.width + x] = static_cast<char>(value);
    }
  }
  return grey;
}

// Four frames of the painted view, luma kept exactly (x264 lossless), as a mirror video.
void makeVideo(const PaintedRig& rig, bool cameraBelow, const std::string& path, test::TempDir& dir) {
  const std::string frame = paintedGrey(rig, cameraBelow);
  {
    std::ofstream raw(dir.file("frames.raw"), std::ios::binary);
    for (int i = 0; i < 4; ++i) raw << frame;
  }
  const std::string command = "ffmpeg -v error -y -f rawvideo -pix_fmt gray -s " + std::to_string(rig.photo.width) +
                              "x" + std::to_string(rig.photo.height) + " -r 10 -i '" + dir.file("frames.raw") +
                              "' -c:v libx264 -preset ultrafast -qp 0 -pix_fmt yuv420p '" + path + "'";
  ASSERT_EQ(std::system(command.c_str()), 0) << command;
}

struct EdgeFigures {
  int edges = 0;
  double worst = 0;
};

// The band edges of the video's frame `frame` against the elevations that row y,
// (90 - e) x 512 / 180 - 0.5, gives them, column by column, inside the band that `plan`
// says the mirror sees; the rows outside that band are black, and the mark lies a
// quarter of the way round.
EdgeFigures checkFrame(const std::string& video, const CalibratedPanorama& plan, const std::string& what) {
  EdgeFigures figures;
  const std::uint32_t height = kWidth / 2;
  const std::string grey = bytesOf("ffmpeg -v error -i '" + video + "' -frames:v 1 -f rawvideo -pix_fmt gray -");
  EXPECT_EQ(grey.size(), std::size_t{kWidth} * height) << what;
  if (grey.size() != std::size_t{kWidth} * height) return figures;
  const auto at = [&](std::uint32_t y, std::uint32_t x) { return static_cast<std::uint8_t>(grey[y * kWidth + x]); };
  const int top = plan.sphereTop();
  const int bottom = top + plan.height();  // one past
  EXPECT_EQ(plan.width(), static_cast<int>(kWidth)) << what;
  int lit = 0;
  for (std::uint32_t x = 0; x < kWidth; ++x) {
    for (int y = 0; y < top - 2; ++y) lit += at(y, x) > 20;
    for (int y = bottom + 2; y < static_cast<int>(height); ++y) lit += at(y, x) > 20;
  }
  EXPECT_EQ(lit, 0) << what << ": pixels lit outside the band";
  std::vector<double> expected;
  for (int e = 80; e >= -80; e -= 10) {
    const double row = (90.0 - e) * height / 180.0 - 0.5;
    if (row > top + 3 && row < bottom - 4) expected.push_back(row);
  }
  EXPECT_GE(expected.size(), 4u) << what;
  const double middle = (kDarkBand + kBrightBand) / 2.0;
  for (std::uint32_t x = 0; x < kWidth; x += 3) {
    const double azimuth = (x + 0.5) * 360.0 / kWidth;
    if (std::fabs(azimuth - 90) < 12) continue;
    std::vector<double> found;
    for (int y = top + 3; y < bottom - 4; ++y) {
      const double a = at(y, x), b = at(y + 1, x);
      if ((a >= middle) != (b >= middle)) found.push_back(y + (middle - a) / (b - a));
    }
    EXPECT_EQ(found.size(), expected.size()) << what << ", column " << x;
    if (found.size() != expected.size()) return figures;
    for (std::size_t k = 0; k < found.size(); ++k) {
      figures.worst = std::max(figures.worst, std::fabs(found[k] - expected[k]));
      ++figures.edges;
    }
  }
  EXPECT_LE(figures.worst, 1.0) << what;
  // The mark: darker than its band on either side, in the middle of a band.
  const auto row = static_cast<std::uint32_t>(std::lround((expected[0] + expected[1]) / 2));
  const auto column = [](double azimuth) { return static_cast<std::uint32_t>(std::lround(azimuth * kWidth / 360.0)); };
  EXPECT_LT(at(row, column(90)) + 25, at(row, column(60))) << what << ": no mark at 90 degrees";
  EXPECT_LT(at(row, column(90)) + 25, at(row, column(120))) << what << ": no mark at 90 degrees";
  return figures;
}

void videoThroughTheCli(const PaintedRig& rig, const std::string& fileName, const std::string& placement) {
  ASSERT_TRUE(rig.model) << rig.name;
  test::TempDir dir;
  const std::string mirror = dir.file(fileName);
  std::ofstream(mirror, std::ios::binary) << rig.text;
  for (const bool below : {true, false}) {
    const std::string what = fileName + (below ? " camera-below" : " camera-above");
    makeVideo(rig, below, dir.file("in.mp4"), dir);
    const std::string out = dir.file("out.mp4");
    const test::RunResult made =
        test::runCli("video " + dir.file("in.mp4") + " " + out + " --mirror " + mirror +
                     (below ? "" : " --rig camera-above") + placement + " --width 1024 --crf 4 --preset ultrafast");
    ASSERT_EQ(made.status, 0) << what << ": " << made.output;
    // The band the photographs' plan gives a frame of this size, as wide as the video.
    std::string why;
    RingKnown ring;
    ring.centre = rig.placement.centre;
    ring.rimRadius = rig.placement.rimRadius;
    const std::optional<CalibratedPanorama> plan = planMirrorPanorama(
        MirrorChoice{mirror, below ? Rig::CameraBelow : Rig::CameraAbove, std::nullopt}, rig.photo, ring, why, kWidth);
    ASSERT_TRUE(plan) << what << ": " << why;
    const EdgeFigures figures = checkFrame(out, *plan, what);
    std::printf("[ figures  ] %s: %d band edges, worst %.3f rows, band rows %d to %d of %u\n", what.c_str(),
                figures.edges, figures.worst, plan->sphereTop(), plan->sphereTop() + plan->height() - 1, kWidth / 2);
    ::testing::Test::RecordProperty(what + " worst band edge (rows)", std::to_string(figures.worst));
  }
}

bool haveFfmpeg() { return std::system("command -v ffmpeg > /dev/null 2>&1") == 0; }

TEST(KelmiraCliVideoMirror, BandEdgesSitAtAMirrorTablesElevationsWithEitherRig) {
  if (!haveFfmpeg()) GTEST_SKIP() << "the ffmpeg program is not installed (scripts/setup.sh installs it)";
  videoThroughTheCli(test::tablePaintedRig({300, 300}), "mirror.txt", " --centre 300,300");
}

TEST(KelmiraCliVideoMirror, BandEdgesSitAtAnOpenCvOmnidirCalibrationsElevationsWithEitherRig) {
#if !KELMIRA_HAVE_OPENCV_OMNIDIR
  GTEST_SKIP() << "OpenCV's omnidir module (libopencv-contrib-dev) is not installed";
#else
  if (!haveFfmpeg()) GTEST_SKIP() << "the ffmpeg program is not installed (scripts/setup.sh installs it)";
  videoThroughTheCli(test::omnidirPaintedRig(), "omni_calibration.yaml", "");
#endif
}

// A calibration sees the camera at its own centre: a centre given is refused, and nothing is
// written; the rig goes only with a mirror.
TEST(KelmiraCliVideoMirror, RefusesACentreForACalibrationAndARigWithoutAMirror) {
  test::TempDir dir;
  const PaintedRig rig = test::ocamPaintedRig();
  std::ofstream(dir.file("calib_results.txt"), std::ios::binary) << rig.text;
  const test::RunResult centre = test::runCli("video in.mp4 " + dir.file("out.mp4") + " --mirror " +
                                              dir.file("calib_results.txt") + " --centre 320,240");
  EXPECT_EQ(centre.status, 2) << centre.output;
  EXPECT_NE(centre.output.find("its own centre"), std::string::npos) << centre.output;
  const test::RunResult bare = test::runCli("video in.mp4 " + dir.file("out.mp4") + " --rig camera-above");
  EXPECT_EQ(bare.status, 2) << bare.output;
  EXPECT_NE(bare.output.find("go with --mirror FILE"), std::string::npos) << bare.output;
  EXPECT_FALSE(std::filesystem::exists(dir.file("out.mp4")));
}

}  // namespace
}  // namespace kelmira

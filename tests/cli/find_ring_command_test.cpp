// kelmira-cli find-ring, and unwarp with --centre auto and --ring-radius.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>

#include "cli_runner.h"
#include "image/dib_image.h"
#include "support/synthetic_ring.h"
#include "support/test_files.h"

namespace kelmira {
namespace {

using test::RunResult;
using test::runCli;

TEST(KelmiraCliFindRing, PrintsTheRingAndUnwarpsAroundIt) {
  test::TempDir dir;
  // A photograph whose ring sits off the picture's centre: (700, 560), radius 430.
  test::SyntheticRing truth;
  truth.width = 1600;
  truth.height = 1200;
  truth.centreX = 700;
  truth.centreY = 560;
  truth.radius = 430;
  truth.seed = 77;
  DibImage photo;
  test::makeSyntheticRingPhoto(truth, photo, dir.path().string());
  ASSERT_EQ(photo.saveToFile(dir.file("round.jpg"), FileTypeJpeg), ImageError::None);

  const RunResult found = runCli("find-ring " + dir.file("round.jpg"));
  ASSERT_EQ(found.status, 0) << found.output;
  double x = 0, y = 0, radius = 0, confidence = 0;
  char tail = 0;
  ASSERT_EQ(std::sscanf(found.output.c_str(), "centre %lf %lf\nring-radius %lf\nconfidence %lf%c", &x, &y, &radius,
                        &confidence, &tail),
            5)
      << found.output;
  EXPECT_EQ(tail, '\n');
  EXPECT_NEAR(x, 700, 1);
  EXPECT_NEAR(y, 560, 1);
  EXPECT_NEAR(radius, 430, 4.3);
  EXPECT_GE(confidence, 0.5);
  // One decimal for pixels, two for the confidence, three lines and nothing else.
  char expected[128];
  std::snprintf(expected, sizeof expected, "centre %.1f %.1f\nring-radius %.1f\nconfidence %.2f\n", x, y, radius,
                confidence);
  EXPECT_EQ(found.output, expected);

  // --centre auto --ring-radius auto: the circle on the ring, 0.8 R, so the panorama's size.
  const RunResult unwarped = runCli("unwarp " + dir.file("round.jpg") + " " + dir.file("auto.bmp") +
                                    " --centre auto --ring-radius auto");
  ASSERT_EQ(unwarped.status, 0) << unwarped.output;
  int cropRadius = 0;
  double ringRadius = 0;
  const auto said = unwarped.output.find("crop radius ");
  ASSERT_NE(said, std::string::npos) << unwarped.output;
  ASSERT_EQ(std::sscanf(unwarped.output.c_str() + said, "crop radius %d, ring radius %lf", &cropRadius, &ringRadius), 2);
  EXPECT_NEAR(ringRadius, radius, 0.05);  // the radius find-ring printed
  EXPECT_NEAR(cropRadius, 0.8 * 430, 4);
  DibImage panorama;
  ASSERT_EQ(panorama.loadFromFile(dir.file("auto.bmp")), ImageError::None);
  EXPECT_EQ(panorama.width(), static_cast<int>(0.6 * cropRadius * 6.283185307179586));
  EXPECT_EQ(panorama.height(), static_cast<int>(0.6 * cropRadius));
  EXPECT_NE(unwarped.output.find("around (700, 560)"), std::string::npos) << unwarped.output;

  // No mirror: said so, status 1; auto asks for a sure ring.
  DibImage flat;
  flat.allocate(640, 480);
  ASSERT_EQ(flat.saveToFile(dir.file("flat.bmp"), FileTypeBmp), ImageError::None);
  const RunResult none = runCli("find-ring " + dir.file("flat.bmp"));
  EXPECT_EQ(none.status, 1);
  EXPECT_NE(none.output.find("no mirror ring found"), std::string::npos) << none.output;
  const RunResult refused = runCli("unwarp " + dir.file("flat.bmp") + " " + dir.file("flat_pano.bmp") + " --centre auto");
  EXPECT_EQ(refused.status, 1);
  EXPECT_FALSE(std::filesystem::exists(dir.file("flat_pano.bmp")));
}

TEST(KelmiraCliFindRing, AGivenRingRadiusOfHalfTheHeightIsTheDescribedUnwarp) {
  test::TempDir dir;
  DibImage scene;
  test::paintTexturedPanorama(scene, 1356, 216, 3);
  ASSERT_EQ(scene.saveToFile(dir.file("scene.bmp"), FileTypeBmp), ImageError::None);
  ASSERT_EQ(runCli("simulate " + dir.file("scene.bmp") + " " + dir.file("round.bmp") + " --size 1000x750").status, 0);
  // 750 high: R = 375 gives crop radius 300 and the scale 750 x 0.117096, to the bit.
  ASSERT_EQ(runCli("unwarp " + dir.file("round.bmp") + " " + dir.file("plain.bmp")).status, 0);
  ASSERT_EQ(runCli("unwarp " + dir.file("round.bmp") + " " + dir.file("given.bmp") + " --ring-radius 375").status, 0);
  EXPECT_EQ(test::readFileBytes(dir.file("plain.bmp")), test::readFileBytes(dir.file("given.bmp")));
  // A larger ring reaches further out: a bigger panorama at a larger scale.
  ASSERT_EQ(runCli("unwarp " + dir.file("round.bmp") + " " + dir.file("bigger.bmp") + " --ring-radius 400").status, 0);
  DibImage bigger;
  ASSERT_EQ(bigger.loadFromFile(dir.file("bigger.bmp")), ImageError::None);
  EXPECT_EQ(bigger.height(), static_cast<int>(0.6 * 320));
  for (const char* bad : {"abc", "-5", "3", "auto2"}) {
    EXPECT_NE(runCli("unwarp " + dir.file("round.bmp") + " " + dir.file("x.bmp") + " --ring-radius " + bad).status, 0)
        << bad;
  }
}

// Pictures far longer than they are high (or the other way) hold no ring: the finder says
// so at once whatever the number of threads, also past the long side where 32-bit block
// sums would overflow.
TEST(KelmiraCliFindRing, APictureTooNarrowForARingHasNoneWithAnyNumberOfThreads) {
  test::TempDir dir;
  for (const auto& [width, height] : {std::pair{13000, 32}, std::pair{32, 13000}, std::pair{150000, 32}}) {
    DibImage picture;
    test::paintTexturedPanorama(picture, width, height, 3);
    const std::string name = dir.file(std::to_string(width) + "x" + std::to_string(height) + ".bmp");
    ASSERT_EQ(picture.saveToFile(name, FileTypeBmp), ImageError::None);
    for (const int threads : {1, 3, 5}) {
      const RunResult found = runCli("find-ring " + name, "KELMIRA_THREADS=" + std::to_string(threads));
      EXPECT_EQ(found.status, 1) << width << " x " << height << ", " << threads << " threads: " << found.output;
      EXPECT_NE(found.output.find("no mirror ring found"), std::string::npos) << found.output;
    }
  }
}

}  // namespace
}  // namespace kelmira

// kelmira-cli panorama, sphere and web on QuickTime VR panorama movies: the flat panorama
// put back together, and the movie's panorama made into a 360-degree photo and a page.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <string>

#include "cli_runner.h"
#include "image/dib_image.h"
#include "image/file_type.h"
#include "support/test_files.h"

namespace kelmira {
namespace {

void paintScene(DibImage& image, int width, int height) {
  ASSERT_EQ(image.allocate(width, height), ImageError::None);
  std::uint8_t* p = image.beginAccess();
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x, p += 3) {
      p[0] = static_cast<std::uint8_t>(128 + 100 * std::sin(x * 6.283185307 / width * 2));
      p[1] = static_cast<std::uint8_t>(40 + 180 * y / height);
      p[2] = static_cast<std::uint8_t>(90 + x % 97);
    }
  image.endAccess();
}

class KelmiraCliPanorama : public testing::Test {
 protected:
  void SetUp() override {
    paintScene(scene, 960, 192);  // movie size: tiles of 192 x 40
    ASSERT_EQ(scene.saveToFile(dir.file("scene.bmp"), FileTypeBmp), ImageError::None);
    const test::RunResult made =
        test::runCli("movie " + dir.file("scene.bmp") + " " + dir.file("garden.mov") + " --quality lossless");
    ASSERT_EQ(made.status, 0) << made.output;
  }
  test::TempDir dir;
  DibImage scene;
};

TEST_F(KelmiraCliPanorama, TheMoviesPanoramaComesBackAsAPicture) {
  const test::RunResult run = test::runCli("panorama " + dir.file("garden.mov") + " " + dir.file("garden.bmp"));
  ASSERT_EQ(run.status, 0) << run.output;
  EXPECT_NE(run.output.find("960 x 192 panorama from 24 tiles"), std::string::npos) << run.output;
  EXPECT_NE(run.output.find("(hot spots left out)"), std::string::npos) << run.output;
  DibImage back;
  ASSERT_EQ(back.loadFromFile(dir.file("garden.bmp")), ImageError::None);
  ASSERT_EQ(back.width(), 960);
  ASSERT_EQ(back.height(), 192);
  double worst = 0;
  for (std::size_t i = 0; i < 3u * 960 * 192; ++i) worst = std::max(worst, std::abs(double(back.pixels()[i]) - scene.pixels()[i]));
  EXPECT_LT(worst, 40);  // a wrong tile order or turn puts whole strips out by far more

  EXPECT_EQ(test::runCli("panorama " + dir.file("garden.mov") + " " + dir.file("garden.mov2")).status, 2);
  test::writeFileBytes(dir.file("notes.mov"), {'h', 'e', 'l', 'l', 'o'});
  const test::RunResult refused = test::runCli("panorama " + dir.file("notes.mov") + " " + dir.file("notes.jpg"));
  EXPECT_EQ(refused.status, 1);
  EXPECT_NE(refused.output.find("is not a QuickTime movie"), std::string::npos) << refused.output;
  EXPECT_FALSE(std::filesystem::exists(dir.file("notes.jpg")));
}

TEST_F(KelmiraCliPanorama, MoviesBecome360PhotosAndPagesOneOrAFolderAtATime) {
  const test::RunResult sphere = test::runCli("sphere " + dir.file("garden.mov") + " " + dir.file("garden_360.jpg"));
  ASSERT_EQ(sphere.status, 0) << sphere.output;
  DibImage photo;
  ASSERT_EQ(photo.loadFromFile(dir.file("garden_360.jpg")), ImageError::None);
  EXPECT_EQ(photo.width(), 960);
  const std::string bytes = [&] {
    const test::Bytes raw = test::readFileBytes(dir.file("garden_360.jpg"));
    return std::string(raw.begin(), raw.end());
  }();
  EXPECT_NE(bytes.find("<GPano:FullPanoWidthPixels>960</GPano:FullPanoWidthPixels>"), std::string::npos);

  const test::RunResult web = test::runCli("web " + dir.file("garden.mov") + " " + dir.file("garden.html"));
  ASSERT_EQ(web.status, 0) << web.output;
  EXPECT_TRUE(std::filesystem::exists(dir.file("garden.html")));

  std::filesystem::copy_file(dir.file("garden.mov"), dir.file("patio.mov"));
  const std::string out = dir.file("out");
  const test::RunResult batch =
      test::runCli("panorama --out-dir " + out + " " + dir.file("garden.mov") + " " + dir.file("patio.mov"));
  ASSERT_EQ(batch.status, 0) << batch.output;
  EXPECT_TRUE(std::filesystem::exists(out + "/garden_pano.jpg"));
  EXPECT_TRUE(std::filesystem::exists(out + "/patio_pano.jpg"));
  const test::RunResult spheres =
      test::runCli("sphere --out-dir " + out + " " + dir.file("garden.mov") + " " + dir.file("patio.mov"));
  ASSERT_EQ(spheres.status, 0) << spheres.output;
  EXPECT_TRUE(std::filesystem::exists(out + "/patio_360.jpg"));
}

}  // namespace
}  // namespace kelmira

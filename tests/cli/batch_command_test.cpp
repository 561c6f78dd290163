// kelmira-cli unwarp and sphere over many photographs with --out-dir.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "cli/batch_run.h"
#include "cli_runner.h"
#include "image/dib_image.h"
#include "support/synthetic_ring.h"
#include "support/test_files.h"

namespace kelmira {
namespace {

using test::RunResult;
using test::runCli;

// Two photographs whose rings sit in different places, a copy of one under another
// format's name, and a file that is no picture at all.
class KelmiraCliBatch : public testing::Test {
 protected:
  void SetUp() override {
    makePhoto("east.jpg", 700, 560, 77);
    makePhoto("west.jpg", 560, 640, 78);
    std::filesystem::create_directories(dir.file("in"));
    for (const char* name : {"east.jpg", "west.jpg"}) std::filesystem::copy_file(dir.file(name), in(name));
    test::writeFileBytes(in("notes.jpg"), {'n', 'o', 't', 'e', 's'});
  }

  void makePhoto(const std::string& name, int x, int y, unsigned seed) {
    test::SyntheticRing truth;
    truth.width = 1280;
    truth.height = 1024;
    truth.centreX = x;
    truth.centreY = y;
    truth.radius = 400;
    truth.seed = seed;
    DibImage photo;
    test::makeSyntheticRingPhoto(truth, photo, dir.path().string());
    ASSERT_EQ(photo.saveToFile(dir.file(name), FileTypeJpeg), 0);
  }
  std::string in(const std::string& name) const { return dir.file("in/" + name); }
  std::string out(const std::string& name) const { return dir.file("out/" + name); }

  test::TempDir dir;
};

TEST_F(KelmiraCliBatch, WritesEachPhotographAsTheSingleFormDoesAndReportsTheBadOne) {
  const RunResult batch =
      runCli("unwarp " + in("east.jpg") + " " + in("notes.jpg") + " " + in("west.jpg") + " --out-dir " +
             dir.file("out") + " --centre auto --jobs 2");
  EXPECT_EQ(batch.status, 1) << batch.output;
  EXPECT_NE(batch.output.find("cannot read " + in("notes.jpg")), std::string::npos) << batch.output;
  EXPECT_NE(batch.output.find("3 photographs: 2 written to " + dir.file("out") + ", 1 failed"), std::string::npos)
      << batch.output;
  // --centre auto found each photograph's own ring.
  EXPECT_NE(batch.output.find(out("east_pano.jpg") + ": "), std::string::npos) << batch.output;
  EXPECT_NE(batch.output.find("around (700, 560)"), std::string::npos) << batch.output;
  EXPECT_NE(batch.output.find("around (560, 640)"), std::string::npos) << batch.output;
  EXPECT_FALSE(std::filesystem::exists(out("notes_pano.jpg")));

  for (const char* name : {"east", "west"}) {
    SCOPED_TRACE(name);
    const std::string single = dir.file(std::string(name) + "_single.jpg");
    ASSERT_EQ(runCli("unwarp " + dir.file(std::string(name) + ".jpg") + " " + single + " --centre auto").status, 0);
    EXPECT_EQ(test::readFileBytes(out(std::string(name) + "_pano.jpg")), test::readFileBytes(single));
  }

  // All good: status 0; the format asked for.
  const RunResult tiffs = runCli("unwarp " + in("east.jpg") + " " + in("west.jpg") + " --out-dir " + dir.file("tif") +
                                 " --format tif --jobs 1");
  EXPECT_EQ(tiffs.status, 0) << tiffs.output;
  DibImage tiff;
  EXPECT_EQ(tiff.loadFromFile(dir.file("tif/west_pano.tif")), 0);
}

TEST_F(KelmiraCliBatch, SphereBatchesNameTheirPhotos360) {
  const RunResult batch = runCli("sphere " + in("east.jpg") + " " + in("west.jpg") + " --out-dir " + dir.file("out"));
  EXPECT_EQ(batch.status, 0) << batch.output;
  const std::string single = dir.file("east_single.jpg");
  ASSERT_EQ(runCli("sphere " + dir.file("east.jpg") + " " + single).status, 0);
  EXPECT_EQ(test::readFileBytes(out("east_360.jpg")), test::readFileBytes(single));
  EXPECT_TRUE(std::filesystem::exists(out("west_360.jpg")));
}

TEST_F(KelmiraCliBatch, NeverWritesOverAnInputOrTwiceToOneName) {
  // A panorama of an earlier run among the inputs, and two photographs of one name.
  std::filesystem::copy_file(in("east.jpg"), in("east_pano.jpg"));
  std::filesystem::copy_file(dir.file("west.jpg"), dir.file("in/west.png"));
  const test::Bytes before = test::readFileBytes(in("east_pano.jpg"));
  const RunResult batch = runCli("unwarp " + in("east.jpg") + " " + in("east_pano.jpg") + " " + in("west.jpg") + " " +
                                 in("west.png") + " --out-dir " + dir.file("in"));
  EXPECT_EQ(batch.status, 1) << batch.output;
  EXPECT_NE(batch.output.find("would replace the input " + in("east_pano.jpg")), std::string::npos) << batch.output;
  EXPECT_NE(batch.output.find("is also the result of " + in("west.jpg")), std::string::npos) << batch.output;
  EXPECT_EQ(test::readFileBytes(in("east_pano.jpg")), before);
  EXPECT_TRUE(std::filesystem::exists(in("east_pano_pano.jpg")));
  EXPECT_TRUE(std::filesystem::exists(in("west_pano.jpg")));
}

TEST(KelmiraCliBatchUsage, OneFormOrTheOther) {
  test::TempDir dir;
  const std::string a = dir.file("a.jpg"), b = dir.file("b.jpg"), c = dir.file("c.jpg");
  EXPECT_EQ(runCli("unwarp " + a + " " + b + " " + c).status, 2);              // three paths need --out-dir
  EXPECT_EQ(runCli("unwarp " + a + " " + b + " --jobs 2").status, 2);           // --jobs belongs to a batch
  EXPECT_EQ(runCli("unwarp " + a + " --out-dir " + dir.file("o") + " --movie " + c).status, 2);
  EXPECT_NE(runCli("unwarp " + a + " --out-dir " + dir.file("o") + " --format png").status, 0);
  EXPECT_NE(runCli("sphere " + a + " --out-dir " + dir.file("o") + " --format tif").status, 0);
  test::writeFileBytes(dir.file("file"), {'x'});
  EXPECT_EQ(runCli("unwarp " + a + " --out-dir " + dir.file("file")).status, 2);  // not a folder
}

TEST(BatchOutputPath, DropsTheLastExtensionOnly) {
  EXPECT_EQ(batchOutputPath("/photos/A.jpg", "out", "_pano.jpg"), "out/A_pano.jpg");
  EXPECT_EQ(batchOutputPath("trip.2024.JPG", "/o", "_360.jpg"), "/o/trip.2024_360.jpg");
  EXPECT_EQ(batchOutputPath("noextension", "o", "_pano.tif"), "o/noextension_pano.tif");
  EXPECT_EQ(batchOutputPath(".hidden", "o", "_pano.jpg"), "o/.hidden_pano.jpg");
}

}  // namespace
}  // namespace kelmira

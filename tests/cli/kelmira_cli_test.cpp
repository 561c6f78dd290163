// Runs the real kelmira-cli program on real files.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "base/simd_target.h"
#include "image/dib_image.h"
#include "image/image_file_builders.h"
#include "cli_runner.h"
#include "support/test_files.h"

namespace kelmira {
namespace {

using test::RunResult;
using test::runCli;

// A smooth panorama with a few bold shapes, so that resampling blur stays small.
void paintPanorama(DibImage& image, int width, int height) { test::paintBlockPanorama(image, width, height, 60, 30); }

double meanAbsoluteDifference(const DibImage& a, const DibImage& b, int marginRows) {
  double sum = 0;
  std::size_t count = 0;
  for (int y = marginRows; y < a.height() - marginRows; ++y)
    for (int x = 0; x < 3 * a.width(); ++x, ++count) {
      const std::size_t o = static_cast<std::size_t>(y) * 3 * a.width() + x;
      sum += std::abs(a.pixels()[o] - b.pixels()[o]);
    }
  return sum / count;
}

TEST(KelmiraCli, SimulateThenUnwarpGivesThePanoramaBack) {
  test::TempDir dir;
  // An 800 x 600 photograph gets crop radius 240, so a 904 x 144 panorama.
  DibImage scene;
  paintPanorama(scene, 904, 144);
  ASSERT_EQ(scene.saveToFile(dir.file("scene.bmp"), FileTypeBmp), ImageError::None);

  for (const char* centre : {"", " --centre 430,290"}) {
    SCOPED_TRACE(centre);
    const RunResult simulated =
        runCli("simulate " + dir.file("scene.bmp") + " " + dir.file("round.bmp") + " --size 800x600" + centre);
    ASSERT_EQ(simulated.status, 0) << simulated.output;
    const RunResult unwarped = runCli("unwarp " + dir.file("round.bmp") + " " + dir.file("back.tif") + centre);
    ASSERT_EQ(unwarped.status, 0) << unwarped.output;
    EXPECT_NE(unwarped.output.find("904 x 144"), std::string::npos) << unwarped.output;

    DibImage back;
    ASSERT_EQ(back.loadFromFile(dir.file("back.tif")), ImageError::None);
    ASSERT_EQ(back.width(), 904);
    ASSERT_EQ(back.height(), 144);
    EXPECT_LT(meanAbsoluteDifference(scene, back, 2), 6.0);
  }

  // The lens thread mirrors exactly what the standard base gives.
  ASSERT_EQ(runCli("unwarp " + dir.file("round.bmp") + " " + dir.file("standard.bmp")).status, 0);
  ASSERT_EQ(runCli("unwarp --lens-thread " + dir.file("round.bmp") + " " + dir.file("mirrored.bmp")).status, 0);
  DibImage standard;
  DibImage mirrored;
  ASSERT_EQ(standard.loadFromFile(dir.file("standard.bmp")), ImageError::None);
  ASSERT_EQ(mirrored.loadFromFile(dir.file("mirrored.bmp")), ImageError::None);
  ASSERT_EQ(mirrored.mirrorHorizontally(), 1);
  EXPECT_EQ(meanAbsoluteDifference(standard, mirrored, 0), 0.0);
}

TEST(KelmiraCli, FailuresSayWhyAndLeaveExistingFilesAlone) {
  test::TempDir dir;
  const test::Bytes precious{'k', 'e', 'e', 'p'};
  test::writeFileBytes(dir.file("out.jpg"), precious);
  test::writeFileBytes(dir.file("garbage.bmp"), test::Bytes(100, 0x42));

  RunResult missing = runCli("unwarp " + dir.file("nothing.jpg") + " " + dir.file("out.jpg"));
  EXPECT_NE(missing.status, 0);
  EXPECT_NE(missing.output.find("error on file open"), std::string::npos) << missing.output;

  RunResult garbage = runCli("unwarp " + dir.file("garbage.bmp") + " " + dir.file("out.jpg"));
  EXPECT_NE(garbage.status, 0);
  EXPECT_NE(garbage.output.find("bad BMP file"), std::string::npos) << garbage.output;
  EXPECT_EQ(test::readFileBytes(dir.file("out.jpg")), precious);

  RunResult badType = runCli("unwarp " + dir.file("garbage.bmp") + " " + dir.file("out.png"));
  EXPECT_NE(badType.status, 0);
  EXPECT_FALSE(std::filesystem::exists(dir.file("out.png")));

  EXPECT_NE(runCli("simulate " + dir.file("garbage.bmp") + " " + dir.file("r.bmp") + " --size 12").status, 0);
  // Nothing but the files the test made is left in the folder: no temporaries.
  int files = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir.path())) ++files;
  EXPECT_EQ(files, 2);
}

std::string fileText(const std::string& path) {
  const test::Bytes bytes = test::readFileBytes(path);
  return std::string(bytes.begin(), bytes.end());
}

TEST(KelmiraCli, VersionNamesTheSimdTargetWhichKelmiraSimdForces) {
  const std::vector<std::string> here = simdTargetsHere();
  RunResult version = runCli("--version");
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.output.substr(0, version.output.find('\n')), "kelmira-cli 2.1000");
  EXPECT_NE(version.output.find("\nSIMD: " + here.front()), std::string::npos) << version.output;
  EXPECT_NE(version.output.find(", the widest this processor has\n"), std::string::npos) << version.output;

  // Every target unwarps to the same bytes.
  test::TempDir dir;
  DibImage round;
  paintPanorama(round, 401, 301);
  ASSERT_EQ(round.saveToFile(dir.file("round.bmp"), FileTypeBmp), ImageError::None);
  ASSERT_EQ(runCli("unwarp " + dir.file("round.bmp") + " " + dir.file("widest.bmp")).status, 0);
  for (const std::string& target : here) {
    SCOPED_TRACE(target);
    RunResult forced = runCli("--version", "KELMIRA_SIMD=" + target);
    EXPECT_NE(forced.output.find("\nSIMD: " + target), std::string::npos) << forced.output;
    const std::string out = dir.file(target + ".bmp");
    ASSERT_EQ(runCli("unwarp " + dir.file("round.bmp") + " " + out, "KELMIRA_SIMD=" + target).status, 0);
    EXPECT_TRUE(fileText(out) == fileText(dir.file("widest.bmp")));
  }

  RunResult unknown = runCli("unwarp " + dir.file("round.bmp") + " " + dir.file("avx9.bmp"), "KELMIRA_SIMD=avx9");
  EXPECT_EQ(unknown.status, 2);
  EXPECT_EQ(unknown.output.rfind("kelmira-cli: KELMIRA_SIMD=avx9 names no SIMD target of this build (", 0), 0u)
      << unknown.output;
  EXPECT_FALSE(std::filesystem::exists(dir.file("avx9.bmp")));
  EXPECT_NE(runCli("--version", "KELMIRA_SIMD=avx9").output.find("; KELMIRA_SIMD=avx9 names no SIMD target"),
            std::string::npos);
}

TEST(KelmiraCli, KelmiraSimdNamingATargetThisProcessorLacksIsRefused) {
  std::string lacking;
  for (const std::string& target : simdTargetsBuilt()) {
    const std::vector<std::string> here = simdTargetsHere();
    if (std::find(here.begin(), here.end(), target) == here.end()) lacking = target;
  }
  if (lacking.empty()) GTEST_SKIP() << "this processor runs every target this build has";
  RunResult refused = runCli("info /dev/null", "KELMIRA_SIMD=" + lacking);
  EXPECT_EQ(refused.status, 2);
  EXPECT_NE(refused.output.find("this processor cannot run " + lacking), std::string::npos) << refused.output;
}

// A command line that asks for what cannot be is a usage error, status 2, and writes nothing.
TEST(KelmiraCli, EveryUsageErrorIsStatusTwo) {
  test::TempDir dir;
  const std::string round = std::string(std::getenv("KELMIRA_SOURCE_DIR")) + "/samples/mirror-sample.jpg";
  const std::string to = " " + dir.file("a");
  const std::string batch = " --out-dir " + dir.file("o");
  for (const std::string& arguments : {
           "sphere " + round + to + ".jpg --quality 0",
           "sphere " + round + to + ".jpg --quality 101",
           "sphere " + round + batch + " --quality 0",
           "web " + round + to + ".html --quality 200",
           "web " + round + to + ".htm --quality -5",
           "movie " + round + to + ".mov --quality best",
           "unwarp " + round + batch + " --jobs 0",
           "unwarp " + round + to + ".jpg --no-such-option",
       }) {
    const RunResult run = runCli(arguments);
    EXPECT_EQ(run.status, 2) << arguments << "\n" << run.output;
  }
  EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
}

TEST(KelmiraCli, InfoNamesTheTypeAndSize) {
  test::TempDir dir;
  DibImage image;
  paintPanorama(image, 33, 17);
  ASSERT_EQ(image.saveToFile(dir.file("picture.jpg"), FileTypeJpeg), ImageError::None);
  RunResult info = runCli("info " + dir.file("picture.jpg"));
  EXPECT_EQ(info.status, 0);
  EXPECT_NE(info.output.find("type: 1 (JPEG)"), std::string::npos) << info.output;
  EXPECT_NE(info.output.find("width: 33\nheight: 17"), std::string::npos) << info.output;

  test::writeFileBytes(dir.file("notes.txt"), test::Bytes(80, 'a'));
  RunResult unknown = runCli("info " + dir.file("notes.txt"));
  EXPECT_NE(unknown.status, 0);
  EXPECT_NE(unknown.output.find("type: 0"), std::string::npos) << unknown.output;
}

// The same picture as PNG, 24-bit PCX and bottom-up TGA, each built beside the reader.
void writeLosslessCopies(const DibImage& image, const test::TempDir& dir) {
  const int w = image.width();
  const int h = image.height();
  const std::uint8_t* p = image.pixels();
  test::writeFileBytes(dir.file("round.png"),
                       test::encodePng(test::pngPicture(w, h, PNG_COLOR_TYPE_RGB, 8,
                                                        std::vector<std::uint32_t>(p, p + std::size_t{3} * w * h))));
  test::PcxHeader pcx;
  pcx.xmax = static_cast<std::uint16_t>(w - 1);
  pcx.ymax = static_cast<std::uint16_t>(h - 1);
  pcx.planes = 3;
  pcx.bytesPerLine = static_cast<std::uint16_t>(w);
  test::Bytes pcxData;
  test::TgaHeader tga;
  tga.width = static_cast<std::uint16_t>(w);
  tga.height = static_cast<std::uint16_t>(h);
  test::Bytes tgaData;
  for (int y = 0; y < h; ++y) {
    test::Bytes line;
    for (int k = 0; k < 3; ++k)
      for (int x = 0; x < w; ++x) line.push_back(p[(std::size_t{1} * y * w + x) * 3 + k]);
    const test::Bytes packed = test::pcxRunLength(line);
    pcxData.insert(pcxData.end(), packed.begin(), packed.end());
    const std::uint8_t* row = p + std::size_t{3} * w * (h - 1 - y);
    for (int x = 0; x < w; ++x) {
      tgaData.push_back(row[3 * x + 2]);
      tgaData.push_back(row[3 * x + 1]);
      tgaData.push_back(row[3 * x]);
    }
  }
  test::writeFileBytes(dir.file("round.pcx"), test::pcxFile(pcx, pcxData));
  test::writeFileBytes(dir.file("round.tga"), test::tgaFile(tga, tgaData));
}

TEST(KelmiraCli, UnwarpAndInfoReadPngPcxAndTga) {
  test::TempDir dir;
  DibImage scene;
  paintPanorama(scene, 452, 72);
  ASSERT_EQ(scene.saveToFile(dir.file("scene.bmp"), FileTypeBmp), ImageError::None);
  ASSERT_EQ(runCli("simulate " + dir.file("scene.bmp") + " " + dir.file("round.bmp") + " --size 400x300").status, 0);
  ASSERT_EQ(runCli("unwarp " + dir.file("round.bmp") + " " + dir.file("from-bmp.bmp")).status, 0);
  DibImage round;
  ASSERT_EQ(round.loadFromFile(dir.file("round.bmp")), ImageError::None);
  writeLosslessCopies(round, dir);
  const test::Bytes reference = test::readFileBytes(dir.file("from-bmp.bmp"));
  ASSERT_FALSE(reference.empty());

  const struct {
    const char* name;
    const char* type;
  } inputs[] = {{"round.png", "type: 3 (PNG)"}, {"round.pcx", "type: 9 (PCX)"}, {"round.tga", "type: 16 (TGA)"}};
  for (const auto& input : inputs) {
    SCOPED_TRACE(input.name);
    const RunResult info = runCli("info " + dir.file(input.name));
    EXPECT_EQ(info.status, 0) << info.output;
    EXPECT_NE(info.output.find(input.type), std::string::npos) << info.output;
    EXPECT_NE(info.output.find("width: 400\nheight: 300"), std::string::npos) << info.output;

    const std::string out = dir.file(std::string("from-") + input.name + ".bmp");
    const RunResult unwarped = runCli("unwarp " + dir.file(input.name) + " " + out);
    ASSERT_EQ(unwarped.status, 0) << unwarped.output;
    EXPECT_TRUE(test::readFileBytes(out) == reference) << "differs from the panorama of the bitmap";
  }

  // Broken files of the new formats say why.
  test::Bytes cut = test::readFileBytes(dir.file("round.png"));
  cut.resize(cut.size() / 2);
  test::writeFileBytes(dir.file("cut.png"), cut);
  const RunResult broken = runCli("unwarp " + dir.file("cut.png") + " " + dir.file("cut.bmp"));
  EXPECT_NE(broken.status, 0);
  EXPECT_NE(broken.output.find("bad PNG file"), std::string::npos) << broken.output;
  test::writeFileBytes(dir.file("drawing.wmf"), test::Bytes(64, 0));
  const RunResult metafile = runCli("info " + dir.file("drawing.wmf"));
  EXPECT_NE(metafile.status, 0);
  EXPECT_NE(metafile.output.find("invalid windows metafile"), std::string::npos) << metafile.output;
}

}  // namespace
}  // namespace kelmira

namespace kelmira {
namespace {

TEST(KelmiraCliMovie, PanoramaToMovieAndTheRefusals) {
  test::TempDir dir;
  DibImage panorama;
  paintPanorama(panorama, 2048, 400);
  ASSERT_EQ(panorama.saveToFile(dir.file("wide.bmp"), FileTypeBmp), ImageError::None);

  const RunResult made = runCli("movie " + dir.file("wide.bmp") + " " + dir.file("room.mov") + " --codec cinepak");
  ASSERT_EQ(made.status, 0) << made.output;
  // 2048 x 400 comes to movie size as 2016 x 392: tiles of 392 x 84.
  EXPECT_NE(made.output.find("2016 x 392"), std::string::npos) << made.output;
  const RunResult dump = runCli("movdump " + dir.file("room.mov"));
  EXPECT_EQ(dump.status, 0);
  EXPECT_NE(dump.output.find("'pdat'"), std::string::npos);
  EXPECT_NE(dump.output.find("'ctyp'"), std::string::npos);

  // Refusals touch no file: the old movie stays as it was.
  const test::Bytes before = test::readFileBytes(dir.file("room.mov"));
  paintPanorama(panorama, 300, 400);
  ASSERT_EQ(panorama.saveToFile(dir.file("tall.bmp"), FileTypeBmp), ImageError::None);
  const RunResult tall = runCli("movie " + dir.file("tall.bmp") + " " + dir.file("room.mov"));
  EXPECT_NE(tall.status, 0);
  EXPECT_NE(tall.output.find("The panorama must be wider than it is high to make a movie."), std::string::npos);
  paintPanorama(panorama, 90, 20);
  ASSERT_EQ(panorama.saveToFile(dir.file("small.bmp"), FileTypeBmp), ImageError::None);
  const RunResult small = runCli("movie " + dir.file("small.bmp") + " " + dir.file("room.mov"));
  EXPECT_NE(small.output.find("The panorama is too small to make a movie."), std::string::npos);
  EXPECT_NE(runCli("movie " + dir.file("wide.bmp") + " " + dir.file("x.mov") + " --codec h264").status, 0);
  EXPECT_EQ(test::readFileBytes(dir.file("room.mov")), before);
  int files = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir.path())) ++files;
  EXPECT_EQ(files, 4);  // the three pictures and the movie: no temporaries

  // From the round photograph to a movie in one command.
  const std::string sample = std::string(std::getenv("KELMIRA_SOURCE_DIR")) + "/samples/mirror-sample.jpg";
  const RunResult both =
      runCli("unwarp " + sample + " " + dir.file("pano.jpg") + " --movie " + dir.file("pano.mov"));
  ASSERT_EQ(both.status, 0) << both.output;
  EXPECT_NE(both.output.find("1728 x 272"), std::string::npos) << both.output;
}

}  // namespace
}  // namespace kelmira

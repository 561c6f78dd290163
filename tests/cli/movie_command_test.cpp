// kelmira-cli movie with every codec and quality, read back by FFmpeg and libquicktime,
// and the default view size taken from the window's stored settings.
#include <gtest/gtest.h>

#include <lqt/lqt.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "cli/stored_movie_view.h"
#include "cli_runner.h"
#include "image/dib_image.h"
#include "support/test_files.h"

namespace kelmira {
namespace {

// The 24 tiles as FFmpeg decodes them, against the panorama turned a quarter turn:
// the mean absolute difference per byte, or -1 when the frames do not all come.
double meanTileDifference(const std::string& movie, const DibImage& turned) {
  const std::size_t bytes = 3u * turned.width() * turned.height();
  std::FILE* pipe =
      popen(("ffmpeg -v error -ignore_editlist 1 -i " + movie + " -map 0:v:0 -f rawvideo -pix_fmt rgb24 -").c_str(), "r");
  if (pipe == nullptr) return -1;
  std::vector<std::uint8_t> frames(bytes + 1);
  const std::size_t got = std::fread(frames.data(), 1, frames.size(), pipe);
  pclose(pipe);
  if (got != bytes) return -1;
  double sum = 0;
  for (std::size_t i = 0; i < bytes; ++i) sum += std::abs(frames[i] - turned.pixels()[i]);
  return sum / bytes;
}

// Width and height of every track header, read straight from the file: the VR and
// panorama tracks are as big as the view, the image track as a tile.
std::vector<int> trackSizes(const std::string& movie) {
  const test::Bytes bytes = test::readFileBytes(movie);
  const auto big32 = [&](std::size_t at) {
    return static_cast<std::uint32_t>(bytes[at] << 24 | bytes[at + 1] << 16 | bytes[at + 2] << 8 | bytes[at + 3]);
  };
  std::vector<int> sizes;
  for (std::size_t at = 4; at + 88 <= bytes.size(); ++at) {
    if (std::string(bytes.begin() + at, bytes.begin() + at + 4) != "tkhd" || big32(at - 4) != 92) continue;
    sizes.push_back(static_cast<int>(big32(at + 80) >> 16));  // 16.16 fixed width, then height
    sizes.push_back(static_cast<int>(big32(at + 84) >> 16));
  }
  return sizes;
}

TEST(KelmiraCliMovieMatrix, EveryCodecAtEveryQualityMakesAPanoramaMovie) {
  if (std::system("command -v ffmpeg > /dev/null") != 0) {
    GTEST_SKIP() << "no ffmpeg to decode the tiles with a reader no one here wrote (scripts/setup.sh installs it)";
  }
  test::TempDir dir;
  DibImage panorama;
  test::paintBlockPanorama(panorama, 960, 192, 24, 16);  // already at movie size: tiles of 192 x 40
  const std::string source = dir.file("pano.bmp");
  ASSERT_EQ(panorama.saveToFile(source, FileTypeBmp), ImageError::None);
  DibImage turned;
  ASSERT_EQ(turned.copyFrom(panorama), ImageError::None);
  ASSERT_NE(turned.rotateImage(2), 0);

  const char* qualities[] = {"minimum", "low", "normal", "high", "maximum", "lossless"};
  struct Codec {
    const char* name;
    double worstMinimum;  // mean difference allowed at the lowest quality
    double worstLossless;
  };
  for (const Codec codec : {Codec{"jpeg", 20, 1}, Codec{"cinepak", 5, 4}, Codec{"sorenson", 12, 10}}) {
    std::vector<double> differences;
    for (const char* quality : qualities) {
      SCOPED_TRACE(std::string(codec.name) + " at " + quality);
      const std::string movie = dir.file(std::string(codec.name) + "-" + quality + ".mov");
      const test::RunResult made = test::runCli("movie " + source + " " + movie + " --codec " + codec.name +
                                                " --quality " + quality + " --view 320x200");
      ASSERT_EQ(made.status, 0) << made.output;
      EXPECT_EQ(trackSizes(movie), (std::vector<int>{320, 200, 320, 200, 192, 40}));
      differences.push_back(meanTileDifference(movie, turned));
      ASSERT_GE(differences.back(), 0) << "FFmpeg did not decode 24 tiles";

      quicktime_t* file = quicktime_open(movie.c_str(), 1, 0);
      ASSERT_NE(file, nullptr);
      EXPECT_EQ(lqt_is_qtvr(file), QTVR_PAN);
      EXPECT_EQ(lqt_qtvr_get_columns(file), 24);
      EXPECT_EQ(quicktime_video_length(file, 0), 24);
      EXPECT_EQ(quicktime_video_width(file, 0), 192);
      EXPECT_EQ(quicktime_video_height(file, 0), 40);
      EXPECT_EQ(lqt_qtvr_get_width(file), 960);  // the whole panorama
      EXPECT_EQ(lqt_qtvr_get_height(file), 192);
      quicktime_close(file);
    }
    SCOPED_TRACE(codec.name);
    // The quality reaches the compressor: the lowest is visibly worse than the highest.
    EXPECT_LT(differences.front(), codec.worstMinimum);
    EXPECT_LT(differences.back(), codec.worstLossless);
    EXPECT_GT(differences.front(), differences.back());
  }
}

TEST(KelmiraCliMovieMatrix, TheDefaultViewIsTheStoredOne) {
  test::TempDir dir;
  std::filesystem::create_directories(dir.path() / "config/Torbek");
  const std::string ini = dir.file("config/Torbek/kelmira.conf");
  // As the window's settings store writes it, other sections around.
  std::ofstream(ini) << "[General]\nDEFAULT_MOVIE_WIDTH=9\n\n[DEFAULTS]\nVERSION=2.1000\nDEFAULT_MOVIE_WIDTH=320\n"
                        "DEFAULT_MOVIE_HEIGHT = 240\r\n\n[EQUIPMENT]\nATTACHMENT=1\n";
  EXPECT_EQ(readStoredMovieView(ini).width, 320);
  EXPECT_EQ(readStoredMovieView(ini).height, 240);

  DibImage panorama;
  test::paintBlockPanorama(panorama, 960, 192, 24, 16);
  ASSERT_EQ(panorama.saveToFile(dir.file("pano.bmp"), FileTypeBmp), ImageError::None);
  const std::string movie = dir.file("room.mov");
  const test::RunResult made =
      test::runCli("movie " + dir.file("pano.bmp") + " " + movie, "XDG_CONFIG_HOME=" + dir.file("config"));
  ASSERT_EQ(made.status, 0) << made.output;
  EXPECT_EQ(trackSizes(movie), (std::vector<int>{320, 240, 320, 240, 192, 40}));

  // Missing, half-stored or nonsense sizes fall back to 400 x 180.
  const auto fallsBack = [&](const std::string& text) {
    std::ofstream(ini) << text;
    const MovieViewSize size = readStoredMovieView(ini);
    return size.width == 400 && size.height == 180;
  };
  EXPECT_TRUE(fallsBack("[DEFAULTS]\nDEFAULT_MOVIE_WIDTH=320\n"));
  EXPECT_TRUE(fallsBack("[DEFAULTS]\nDEFAULT_MOVIE_WIDTH=320\nDEFAULT_MOVIE_HEIGHT=-5\n"));
  EXPECT_TRUE(fallsBack("[DEFAULTS]\nDEFAULT_MOVIE_WIDTH=32x\nDEFAULT_MOVIE_HEIGHT=240\n"));
  EXPECT_TRUE(fallsBack("[OTHER]\nDEFAULT_MOVIE_WIDTH=320\nDEFAULT_MOVIE_HEIGHT=240\n"));
  EXPECT_TRUE(fallsBack(""));
  EXPECT_TRUE(fallsBack("[DEFAULTS]\nDEFAULT_MOVIE_WIDTH=32768\nDEFAULT_MOVIE_HEIGHT=240\n"));
  EXPECT_EQ(readStoredMovieView(dir.file("none.conf")).width, 400);

  // A view the movie cannot hold is refused before anything is written.
  for (const char* view : {"32768x180", "65536x180", "0x180", "400x-1"}) {
    const test::RunResult refused = test::runCli("movie " + dir.file("pano.bmp") + " " + dir.file("big.mov") +
                                                 " --view " + view);
    EXPECT_EQ(refused.status, 2) << view;
    EXPECT_NE(refused.output.find("The movie width and height must be whole numbers from 1 to 32767."),
              std::string::npos)
        << refused.output;
  }
  EXPECT_FALSE(std::filesystem::exists(dir.file("big.mov")));
  EXPECT_EQ(test::runCli("movie " + dir.file("pano.bmp") + " " + dir.file("big.mov") + " --view 32767x180").status, 0);

  // A temporary folder that does not exist: the movie is made all the same.
  const test::RunResult madeWithoutTmp = test::runCli("movie " + dir.file("pano.bmp") + " " + dir.file("tmp.mov"),
                                            "TMPDIR=" + dir.file("no-such-folder"));
  EXPECT_EQ(madeWithoutTmp.status, 0) << madeWithoutTmp.output;
  EXPECT_TRUE(std::filesystem::exists(dir.file("tmp.mov")));
}

}  // namespace
}  // namespace kelmira

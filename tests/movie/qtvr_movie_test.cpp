// A whole QuickTime VR panorama movie made through the toolbox, read by readers that no
// one here wrote: FFmpeg (ffprobe, ffmpeg) and libquicktime.
#include "movie/qtvr_movie_writer.h"

#include <gtest/gtest.h>

#include <lqt/colormodels.h>
#include <lqt/lqt.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "image/dib_image.h"
#include "movie/quicktime/movie_runtime.h"
#include "movie/vr_atom_containers.h"
#include "support/test_files.h"

namespace kelmira {
namespace {

std::string run(const std::string& command) {
  std::string output;
  std::FILE* pipe = popen((command + " 2>&1").c_str(), "r");
  if (pipe == nullptr) return output;
  char buffer[256];
  while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) output += buffer;
  pclose(pipe);
  return output;
}

class QtvrMovieTest : public testing::TestWithParam<const char*> {
 protected:
  void SetUp() override { ASSERT_EQ(initializeQtml(), noErr); }
  void TearDown() override { terminateQtml(); }

  // A 2016 x 400 panorama (already at movie size) turned for the writer and saved as BMP.
  std::string writeMovieImage() {
    DibImage panorama;
    EXPECT_EQ(panorama.allocate(2016, 400), 0);
    std::uint8_t* p = panorama.beginAccess();
    for (int y = 0; y < 400; ++y)
      for (int x = 0; x < 2016; ++x, p += 3) {
        p[0] = static_cast<std::uint8_t>(x * 255 / 2016);
        p[1] = static_cast<std::uint8_t>(y * 255 / 400);
        p[2] = (x / 84) % 2 ? 200 : 60;
      }
    panorama.endAccess();
    EXPECT_NE(panorama.rotateImage(2), 0);
    const std::string path = dir.file("image.bmp");
    EXPECT_EQ(panorama.saveToFile(path, FileTypeBmp), 0);
    return path;
  }

  test::TempDir dir;
};

TEST_P(QtvrMovieTest, ReadersSeeAPanoramaOfTwentyFourTiles) {
  const std::string codec = GetParam();
  MovieSettings settings;
  settings.codecType = fourCC(codec == "jpeg" ? "jpeg" : codec == "cvid" ? "cvid" : "SVQ1");
  const std::string movie = dir.file("room.mov");
  ASSERT_EQ(buildQtvrMovie(writeMovieImage(), dir.file("tiles.til"), movie, settings), noErr);
  EXPECT_FALSE(test::readFileBytes(movie).empty());
  EXPECT_TRUE(test::readFileBytes(dir.file("room.mot")).empty());  // the intermediate is gone

  // ffprobe: three tracks, the image track in the codec chosen, 400 x 84 tiles.
  const std::string streams =
      run("ffprobe -v error -show_entries stream=codec_type,codec_name,width,height -of csv=p=0 " + movie);
  const std::string decoderName = codec == "jpeg" ? "mjpeg" : codec == "cvid" ? "cinepak" : "svq1";
  EXPECT_NE(streams.find(decoderName + ",video,400,84"), std::string::npos) << streams;
  int lines = 0;
  for (char c : streams) lines += c == '\n';
  EXPECT_EQ(lines, 3) << streams;

  // ffmpeg decodes all 24 frames (its mov reader ignores an edit's rate, so read without edits).
  const std::string frames = run("ffprobe -v error -ignore_editlist 1 -count_frames -select_streams v:0 "
                                 "-show_entries stream=nb_read_frames -of csv=p=0 " + movie);
  EXPECT_EQ(frames, "24\n");

  // libquicktime: a panorama of one row of 24 tiles, the field of view from the pdat atom.
  quicktime_t* file = quicktime_open(movie.c_str(), 1, 0);
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(lqt_is_qtvr(file), QTVR_PAN);
  EXPECT_EQ(lqt_qtvr_get_rows(file), 1);
  EXPECT_EQ(lqt_qtvr_get_columns(file), 24);
  EXPECT_EQ(quicktime_video_length(file, 0), 24);
  EXPECT_EQ(quicktime_video_width(file, 0), 400);
  EXPECT_EQ(quicktime_video_height(file, 0), 84);
  float minimumFov = -1, maximumFov = -1, defaultFov = -1;
  lqt_qtvr_get_fov(file, &minimumFov, &maximumFov, &defaultFov);
  const float twiceT = 2 * panoramaHalfFieldOfView(400, 84);
  EXPECT_EQ(minimumFov, 0.0f);
  EXPECT_FLOAT_EQ(maximumFov, twiceT);
  EXPECT_FLOAT_EQ(defaultFov, twiceT);
  // Debian's libquicktime decodes Photo-JPEG itself (FFmpeg decoded every codec above).
  if (codec == "jpeg") {
    ASSERT_EQ(quicktime_supported_video(file, 0), 1);
    lqt_set_cmodel(file, 0, BC_RGB888);
    int rowspan = 0;
    int rowspanUv = 0;
    std::uint8_t** rows = lqt_rows_alloc(400, 84, BC_RGB888, &rowspan, &rowspanUv);
    int decoded = 0;
    for (int frame = 0; frame < 24; ++frame) {
      rows[42][3 * 200 + 2] = 0;
      // Blue is 60 or 200 all over the panorama, so a decoded frame never leaves 0 here.
      if (lqt_decode_video(file, rows, 0) == 0 && rows[42][3 * 200 + 2] > 20) ++decoded;
    }
    lqt_rows_free(rows);
    EXPECT_EQ(decoded, 24);
  }
  quicktime_close(file);
}

// The compressed tiles of a movie, as libquicktime reads them from the file.
std::vector<std::vector<std::uint8_t>> compressedTiles(const std::string& movie) {
  std::vector<std::vector<std::uint8_t>> tiles;
  quicktime_t* file = quicktime_open(movie.c_str(), 1, 0);
  if (file == nullptr) return tiles;
  for (long frame = 0; frame < quicktime_video_length(file, 0); ++frame) {
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(quicktime_frame_size(file, frame, 0)));
    quicktime_set_video_position(file, frame, 0);
    quicktime_read_frame(file, bytes.data(), 0);
    tiles.push_back(std::move(bytes));
  }
  quicktime_close(file);
  return tiles;
}

// Tiles are compressed side by side; the movie must not depend on how many threads did it.
TEST_P(QtvrMovieTest, TilesCompressedSideBySideMatchThoseOfOneThread) {
  const std::string codec = GetParam();
  MovieSettings settings;
  settings.codecType = fourCC(codec == "jpeg" ? "jpeg" : codec == "cvid" ? "cvid" : "SVQ1");
  const std::string image = writeMovieImage();
  std::vector<std::uintmax_t> sizes;
  std::vector<std::vector<std::vector<std::uint8_t>>> tiles;
  for (const char* threads : {"1", "5"}) {
    setenv("KELMIRA_THREADS", threads, 1);
    const std::string movie = dir.file(std::string("threads") + threads + ".mov");
    ASSERT_EQ(buildQtvrMovie(image, dir.file("tiles.til"), movie, settings), noErr);
    sizes.push_back(std::filesystem::file_size(movie));
    tiles.push_back(compressedTiles(movie));
  }
  unsetenv("KELMIRA_THREADS");
  ASSERT_EQ(tiles[0].size(), 24u);
  EXPECT_EQ(sizes[0], sizes[1]);
  EXPECT_TRUE(tiles[0] == tiles[1]);
}

INSTANTIATE_TEST_SUITE_P(Codecs, QtvrMovieTest, testing::Values("jpeg", "cvid", "SVQ1"));

TEST(QtvrMovieNames, TheIntermediateMovieSitsBesideTheDestination) {
  EXPECT_EQ(intermediateMoviePath("/tmp/room.mov"), "/tmp/room.mot");
  EXPECT_EQ(intermediateMoviePath("/tmp/room.mot"), "/tmp/room.mo@");
}

}  // namespace
}  // namespace kelmira

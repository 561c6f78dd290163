// A whole QuickTime VR panorama movie made through the toolbox, read by readers that no
// one here wrote: FFmpeg (ffprobe, ffmpeg) and libquicktime.
#include "movie/qtvr_movie_writer.h"

#include <gtest/gtest.h>

#include <lqt/colormodels.h>
#include <lqt/lqt.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "image/dib_image.h"
#include "movie/quicktime/big_endian.h"
#include "movie/quicktime/movie.h"
#include "movie/quicktime/movie_file.h"
#include "movie/quicktime/movie_flattener.h"
#include "movie/quicktime/movie_runtime.h"
#include "movie/quicktime/track.h"
#include "movie/vr_atom_containers.h"
#include "support/movie_test_support.h"
#include "support/test_files.h"

namespace kelmira {
namespace {

using movie_test::be32;

std::string run(const std::string& command) {
  std::string output;
  std::FILE* pipe = popen((command + " 2>&1").c_str(), "r");
  if (pipe == nullptr) return output;
  char buffer[256];
  while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) output += buffer;
  pclose(pipe);
  return output;
}

class QtvrMovie : public testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(initializeQtml(), noErr); }
  void TearDown() override { terminateQtml(); }

  // A 2016 x 400 panorama (already at movie size) turned for the writer and saved as BMP.
  std::string writeMovieImage() {
    DibImage panorama;
    EXPECT_EQ(panorama.allocate(2016, 400), ImageError::None);
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
    EXPECT_EQ(panorama.saveToFile(path, FileTypeBmp), ImageError::None);
    return path;
  }

  test::TempDir dir;
};

class QtvrMovieTest : public QtvrMovie, public testing::WithParamInterface<const char*> {};

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
  quicktime_close(file);
}

// libquicktime decodes the tiles with its own codecs where it has one for the type.
TEST_P(QtvrMovieTest, LibquicktimeDecodesEveryTile) {
  std::string codec = GetParam();
  lqt_codec_info_t** decoders = lqt_find_video_codec(codec.data(), 0);
  lqt_destroy_codec_info(decoders);
  if (decoders == nullptr) {
    GTEST_SKIP() << "this machine's libquicktime has no decoder for '" << codec
                 << "' (Debian ships it without its FFmpeg plugin); FFmpeg decoded these tiles in "
                    "ReadersSeeAPanoramaOfTwentyFourTiles";
  }
  MovieSettings settings;
  settings.codecType = fourCC(codec == "jpeg" ? "jpeg" : codec == "cvid" ? "cvid" : "SVQ1");
  const std::string movie = dir.file("room.mov");
  ASSERT_EQ(buildQtvrMovie(writeMovieImage(), dir.file("tiles.til"), movie, settings), noErr);
  quicktime_t* file = quicktime_open(movie.c_str(), 1, 0);
  ASSERT_NE(file, nullptr);
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

// Where a movie file holds the VR track's sample description: the stsd entry of format 'qtvr'.
std::size_t vrDescriptionAt(const test::Bytes& file) {
  for (std::size_t at = 4; at + 20 <= file.size(); ++at) {
    if (std::memcmp(&file[at], "stsd", 4) == 0 && std::memcmp(&file[at + 16], "qtvr", 4) == 0) return at + 12;
  }
  return 0;
}

// The VR track's sample description of a movie file as the toolbox reads it; empty when
// the movie does not load.
ByteBuffer loadedVrDescription(const std::string& path) {
  MovieFile* file = nullptr;
  if (openMovieFile(path, &file, fsRdPerm) != noErr) return {};
  Movie* movie = nullptr;
  const OSErr error = newMovieFromFile(&movie, file, nullptr, 0);
  closeMovieFile(file);
  if (error != noErr) return {};
  const Track* vr = getMovieIndTrackType(movie, 1, fourCC("qtvr"), movieTrackMediaType);
  ByteBuffer description;
  if (vr != nullptr && vr->media && vr->media->sampleDescriptions.size() == 1) {
    description = vr->media->sampleDescriptions.front();
  }
  disposeMovie(movie);
  return description;
}

// The VR track's description is big-endian in the file, as ffprobe and libquicktime read it
// and as the panorama track's is; a movie whose VR header was stored in little-endian
// order, which the size field proves, reads all the same. A landscape picture is refused.
TEST_F(QtvrMovie, TheVrDescriptionIsBigEndianAndALittleEndianOneStillReads) {
  const std::string movie = dir.file("room.mov");
  ASSERT_EQ(buildQtvrMovie(writeMovieImage(), dir.file("tiles.til"), movie, MovieSettings{}), noErr);
  const test::Bytes good = test::readFileBytes(movie);
  const std::size_t at = vrDescriptionAt(good);
  ASSERT_NE(at, 0u);
  const std::uint32_t stsdSize = be32(good, at - 16);
  const std::uint32_t entrySize = be32(good, at);
  EXPECT_EQ(entrySize, stsdSize - 16);
  EXPECT_EQ(be32(good, at + 8), 0u);
  EXPECT_EQ(good[at + 14] << 8 | good[at + 15], 0);  // data reference index 0
  // The world container follows, big-endian too: its 12-byte header, then the 'sean' root.
  EXPECT_EQ(be32(good, at + 28), entrySize - 28);
  EXPECT_EQ(be32(good, at + 32), fourCC("sean"));
  const ByteBuffer described = loadedVrDescription(movie);
  ASSERT_EQ(described.size(), entrySize);
  EXPECT_TRUE(std::equal(described.begin(), described.end(), good.begin() + at));

  // The same movie with the header's size, format and index in little-endian order.
  test::Bytes old = good;
  std::reverse(old.begin() + at, old.begin() + at + 4);
  std::reverse(old.begin() + at + 4, old.begin() + at + 8);
  std::reverse(old.begin() + at + 14, old.begin() + at + 16);
  test::writeFileBytes(dir.file("old.mov"), old);
  EXPECT_EQ(loadedVrDescription(dir.file("old.mov")), described);
  // Read again and written out, it is big-endian again, and libquicktime sees the panorama.
  MovieFile* file = nullptr;
  ASSERT_EQ(openMovieFile(dir.file("old.mov"), &file, fsRdPerm), noErr);
  Movie* loaded = nullptr;
  ASSERT_EQ(newMovieFromFile(&loaded, file, nullptr, 0), noErr);
  closeMovieFile(file);
  ASSERT_EQ(flattenMovieData(loaded, 0x49, dir.file("again.mov"), fourCC("TVOD"), -1, 0x90000000, nullptr), noErr);
  disposeMovie(loaded);
  const test::Bytes again = test::readFileBytes(dir.file("again.mov"));
  const std::size_t againAt = vrDescriptionAt(again);
  ASSERT_NE(againAt, 0u);
  EXPECT_TRUE(std::equal(described.begin(), described.end(), again.begin() + againAt));
  quicktime_t* reader = quicktime_open(dir.file("again.mov").c_str(), 1, 0);
  ASSERT_NE(reader, nullptr);
  EXPECT_EQ(lqt_is_qtvr(reader), QTVR_PAN);
  EXPECT_EQ(lqt_qtvr_get_columns(reader), 24);
  quicktime_close(reader);

  // A picture wider than tall is not a turned panorama: paramErr, and nothing written.
  DibImage landscape;
  ASSERT_EQ(landscape.allocate(400, 300), ImageError::None);
  ASSERT_EQ(landscape.saveToFile(dir.file("landscape.bmp"), FileTypeBmp), ImageError::None);
  EXPECT_EQ(buildQtvrMovie(dir.file("landscape.bmp"), dir.file("wide.til"), dir.file("wide.mov"), MovieSettings{}),
            paramErr);
  EXPECT_FALSE(std::filesystem::exists(dir.file("wide.mov")));
  EXPECT_FALSE(std::filesystem::exists(dir.file("wide.til")));
  EXPECT_FALSE(std::filesystem::exists(dir.file("wide.mot")));
}

TEST(QtvrMovieNames, TheIntermediateMovieSitsBesideTheDestination) {
  EXPECT_EQ(intermediateMoviePath("/tmp/room.mov"), "/tmp/room.mot");
  EXPECT_EQ(intermediateMoviePath("/tmp/room.mot"), "/tmp/room.mo@");
}

}  // namespace
}  // namespace kelmira

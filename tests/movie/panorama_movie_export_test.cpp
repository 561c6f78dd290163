#include "movie/panorama_movie_export.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <utility>

#include "image/dib_image.h"
#include "image/image_error.h"
#include "movie/quicktime/media.h"
#include "movie/quicktime/movie.h"
#include "movie/quicktime/movie_file.h"
#include "movie/quicktime/movie_runtime.h"
#include "movie/quicktime/track.h"
#include "movie/quicktime/user_data.h"
#include "support/test_files.h"

namespace kelmira {
namespace {

void paint(DibImage& image, int width, int height) {
  ASSERT_EQ(image.allocate(width, height), ImageError::None);
  std::uint8_t* p = image.beginAccess();
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x, p += 3) {
      p[0] = static_cast<std::uint8_t>(x * 255 / width);
      p[1] = static_cast<std::uint8_t>(y * 255 / height);
      p[2] = (x / 100 + y / 50) % 2 ? 200 : 40;
    }
  image.endAccess();
}

int filesIn(const std::filesystem::path& folder, const std::string& prefix) {
  int count = 0;
  for (const auto& entry : std::filesystem::directory_iterator(folder))
    count += entry.path().filename().string().rfind(prefix, 0) == 0;
  return count;
}

class PanoramaMovieExportTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(initializeQtml(), noErr);
    setenv("TMPDIR", dir.path().c_str(), 1);  // the writer's temporaries land where the test can count them
  }
  void TearDown() override {
    unsetenv("TMPDIR");
    terminateQtml();
  }
  test::TempDir dir;
};

TEST_F(PanoramaMovieExportTest, TheMovieHasTheTracksTheViewerNeedsAndEveryTileDecodes) {
  DibImage panorama;
  paint(panorama, 2048, 400);
  const std::string movie = dir.file("room.mov");
  MovieSettings settings;
  ASSERT_EQ(savePanoramaMovie(panorama, movie, settings).code, 0);
  EXPECT_EQ(panorama.width(), 2016);  // brought to movie size in place
  EXPECT_EQ(panorama.height(), 392);
  EXPECT_EQ(filesIn(dir.path(), "PXT"), 0);

  MovieFile* file = nullptr;
  Movie* loaded = nullptr;
  ASSERT_EQ(openMovieFile(movie, &file, fsRdPerm), noErr);
  std::int16_t resId = 0;
  ASSERT_EQ(newMovieFromFile(&loaded, file, &resId, 0), noErr);
  EXPECT_EQ(getMovieTimeScale(loaded), 3600);
  EXPECT_EQ(getMovieDuration(loaded), 7200);
  ASSERT_EQ(getMovieTrackCount(loaded), 3);
  Track* vr = getMovieIndTrack(loaded, 1);
  Track* pano = getMovieIndTrack(loaded, 2);
  Track* image = getMovieIndTrack(loaded, 3);
  OSType type = 0;
  getMediaHandlerDescription(getTrackMedia(vr), &type, nullptr, nullptr);
  EXPECT_EQ(type, fourCC("qtvr"));
  getMediaHandlerDescription(getTrackMedia(pano), &type, nullptr, nullptr);
  EXPECT_EQ(type, fourCC("pano"));
  getMediaHandlerDescription(getTrackMedia(image), &type, nullptr, nullptr);
  EXPECT_EQ(type, fourCC("vide"));
  EXPECT_EQ(getMediaTimeScale(getTrackMedia(vr)), 3600);
  EXPECT_EQ(getMediaTimeScale(getTrackMedia(image)), 600);
  EXPECT_EQ(getTrackReference(vr, fourCC("pano"), 1), pano);
  EXPECT_EQ(getTrackReference(pano, fourCC("imgt"), 1), image);
  EXPECT_FALSE(getTrackEnabled(image));
  EXPECT_EQ(getTrackDuration(image), 7200);
  const Media* tiles = getTrackMedia(image);
  ASSERT_EQ(getMediaSampleCount(tiles), 24);
  for (const MediaSample& sample : tiles->samples) {
    EXPECT_EQ(sample.duration, 300u);
    EXPECT_TRUE(sample.sync);
  }
  ByteBuffer controller;
  ASSERT_EQ(getUserDataItem(getMovieUserData(loaded), controller, fourCC("ctyp"), 1), noErr);
  EXPECT_EQ(controller, (ByteBuffer{'q', 't', 'v', 'r'}));
  disposeMovie(loaded);
  closeMovieFile(file);

  // Every tile, as FFmpeg decodes it, is a band of rows of the turned panorama.
  DibImage turned;
  ASSERT_EQ(turned.copyFrom(panorama), ImageError::None);
  ASSERT_NE(turned.rotateImage(2), 0);  // 392 x 2016: tiles of 392 x 84
  const std::size_t frameBytes = 3u * 392 * 84;
  std::FILE* pipe = popen(("ffmpeg -v error -ignore_editlist 1 -i " + movie + " -map 0:v:0 -f rawvideo -pix_fmt rgb24 -")
                              .c_str(),
                          "r");
  ASSERT_NE(pipe, nullptr);
  std::vector<std::uint8_t> frames(24 * frameBytes + 1);
  const std::size_t got = std::fread(frames.data(), 1, frames.size(), pipe);
  pclose(pipe);
  ASSERT_EQ(got, 24 * frameBytes);
  double difference = 0;
  for (std::size_t i = 0; i < got; ++i) difference += std::abs(frames[i] - turned.pixels()[i]);
  EXPECT_LT(difference / got, 6.0);  // JPEG at normal quality on sharp-edged blocks; a wrong tile order gives 60+
}

TEST_F(PanoramaMovieExportTest, RefusalsAndFailuresLeaveNoFileBehind) {
  const test::Bytes old{'o', 'l', 'd'};
  const std::string movie = dir.file("room.mov");
  test::writeFileBytes(movie, old);
  test::writeFileBytes(dir.file("room.mot"), {'m', 'i', 'n', 'e'});  // a file of the user's

  DibImage tall;
  paint(tall, 300, 400);
  MovieExportResult result = savePanoramaMovie(tall, movie, {});
  EXPECT_EQ(result.code, -1);
  EXPECT_EQ(result.message, "The panorama must be wider than it is high to make a movie.");
  DibImage narrow;
  paint(narrow, 95, 20);
  EXPECT_EQ(savePanoramaMovie(narrow, movie, {}).message, "The panorama is too small to make a movie.");

  // A compressor that does not exist fails in the middle, after the temporaries exist.
  DibImage panorama;
  paint(panorama, 2016, 400);
  MovieSettings unknownCodec;
  unknownCodec.codecType = fourCC("xxxx");
  result = savePanoramaMovie(panorama, movie, unknownCodec);
  EXPECT_EQ(result.code, noCodecErr);
  EXPECT_EQ(result.message, "QuickTime save failed.\n\nPlease install the FULL version of QuickTime.");

  EXPECT_EQ(test::readFileBytes(movie), old);
  EXPECT_EQ(test::readFileBytes(dir.file("room.mot")), (test::Bytes{'m', 'i', 'n', 'e'}));
  EXPECT_EQ(filesIn(dir.path(), "PXT"), 0);
  int files = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir.path())) ++files;
  EXPECT_EQ(files, 2);

  // And a real save next to the user's room.mot leaves it alone.
  ASSERT_EQ(savePanoramaMovie(panorama, movie, {}).code, 0);
  EXPECT_EQ(test::readFileBytes(dir.file("room.mot")), (test::Bytes{'m', 'i', 'n', 'e'}));
}

TEST_F(PanoramaMovieExportTest, RefusalsComeBeforeThePanoramaIsTrimmedAndATrimThatFailsStopsTheSave) {
  const std::string movie = dir.file("room.mov");
  // A view the 16.16 track size cannot hold (65536 would read as 0) is refused, untouched.
  DibImage panorama;
  paint(panorama, 1000, 150);
  for (const auto& [width, height] : {std::pair{32768, 180}, {65536, 180}, {400, 0}, {400, -3}}) {
    MovieSettings settings;
    settings.viewWidth = width;
    settings.viewHeight = height;
    const MovieExportResult result = savePanoramaMovie(panorama, movie, settings);
    EXPECT_EQ(result.code, -1);
    EXPECT_EQ(result.message, "The movie width and height must be whole numbers from 1 to 32767.");
    EXPECT_EQ(panorama.width(), 1000);  // not trimmed to 960
  }
  EXPECT_FALSE(std::filesystem::exists(movie));

  // 191 x 4 passes the refusals but trims to 96 x 0: the layer's error, no movie.
  DibImage flat;
  paint(flat, 191, 4);
  const MovieExportResult result = savePanoramaMovie(flat, movie, {});
  EXPECT_EQ(result.code, -1);
  EXPECT_EQ(result.message, errorText(ImageError::BadParameter));  // no picture is 0 rows high
  EXPECT_FALSE(std::filesystem::exists(movie));
  EXPECT_EQ(filesIn(dir.path(), "PXT"), 0);
}

TEST_F(PanoramaMovieExportTest, AnUnusableTemporaryFolderFallsBackToTheDestinationsFolder) {
  DibImage panorama;
  paint(panorama, 960, 160);
  const std::string movie = dir.file("room.mov");
  const std::string plainFile = dir.file("not-a-folder");
  test::writeFileBytes(plainFile, {'x'});
  for (const std::string& tmp : {dir.file("missing"), plainFile}) {
    setenv("TMPDIR", tmp.c_str(), 1);
    std::filesystem::remove(movie);
    ASSERT_EQ(savePanoramaMovie(panorama, movie, {}).code, 0) << tmp;
    EXPECT_GT(std::filesystem::file_size(movie), 1000u);
    EXPECT_EQ(filesIn(dir.path(), "PXT"), 0);  // the temporaries went beside the movie and are gone
  }

  // The name is reserved on disk, created only by this call, and never the same twice.
  const std::string first = makeTempPath("TIL", dir.path().string());
  const std::string second = makeTempPath("TIL", dir.path().string());
  EXPECT_EQ(std::filesystem::path(first).parent_path(), dir.path());
  EXPECT_EQ(std::filesystem::path(first).extension(), ".TIL");
  EXPECT_TRUE(std::filesystem::is_regular_file(first));
  EXPECT_NE(first, second);

  // Neither folder usable: a clear refusal, nothing written.
  const std::string noFolder = dir.file("gone/room.mov");
  const MovieExportResult result = savePanoramaMovie(panorama, noFolder, {});
  EXPECT_EQ(result.code, -1);
  EXPECT_EQ(result.message, "No temporary file can be made for the movie, neither in the temporary folder nor in " +
                                dir.file("gone") + ".");
  EXPECT_EQ(makeTempPath("BMP", dir.file("gone")), "");
}

TEST_F(PanoramaMovieExportTest, MovieFilesAreNeverWrittenThroughASymbolicLink) {
  // A link planted where a movie file is created must not redirect the write.
  const std::string victim = dir.file("victim.txt");
  test::writeFileBytes(victim, {'k', 'e', 'e', 'p'});
  const std::string link = dir.file("planted.TIL");
  std::filesystem::create_symlink(victim, link);
  MovieFile* file = nullptr;
  Movie* created = nullptr;
  EXPECT_NE(createMovieFile(link, fourCC("TVOD"), -2, createMovieFileDeleteCurFile, &file, &created), noErr);
  EXPECT_EQ(test::readFileBytes(victim), (test::Bytes{'k', 'e', 'e', 'p'}));
}

}  // namespace
}  // namespace kelmira

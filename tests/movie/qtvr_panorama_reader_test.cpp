#include "movie/qtvr_panorama_reader.h"

#include <gtest/gtest.h>
#include <lqt/lqt.h>
#include <lqt/lqt_codecinfo.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "image/dib_image.h"
#include "image/image_error.h"
#include "movie/panorama_movie_export.h"
#include "movie/quicktime/movie_runtime.h"
#include "support/test_files.h"

namespace kelmira {
namespace {

// Smooth shading with a few soft features, the kind of picture a panorama is; 2016 x 392
// is movie size already, so the writer keeps it as it is.
void paintScene(DibImage& image, int width, int height) {
  ASSERT_EQ(image.allocate(width, height), ImageError::None);
  std::uint8_t* p = image.beginAccess();
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x, p += 3) {
      p[0] = static_cast<std::uint8_t>(128 + 100 * std::sin(x * 6.283185307 / width * 3));
      p[1] = static_cast<std::uint8_t>(40 + 180 * y / height);
      p[2] = static_cast<std::uint8_t>(128 + 90 * std::cos((x + 2 * y) * 0.02));
    }
  image.endAccess();
}

double psnr(const std::uint8_t* a, const std::uint8_t* b, std::size_t bytes) {
  double squared = 0;
  for (std::size_t i = 0; i < bytes; ++i) {
    const double d = double(a[i]) - double(b[i]);
    squared += d * d;
  }
  if (squared == 0) return 99.0;
  return 10.0 * std::log10(255.0 * 255.0 * double(bytes) / squared);
}

std::vector<std::uint8_t> fileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

void writeBytes(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

std::size_t find(const std::vector<std::uint8_t>& bytes, const std::string& text) {
  const std::vector<std::uint8_t> wanted(text.begin(), text.end());
  const auto at = std::search(bytes.begin(), bytes.end(), wanted.begin(), wanted.end());
  return at == bytes.end() ? std::string::npos : static_cast<std::size_t>(at - bytes.begin());
}

class QtvrPanoramaReaderTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(initializeQtml(), noErr);
    paintScene(scene, 2016, 392);
  }
  void TearDown() override { terminateQtml(); }

  std::string writeMovie(const std::string& name, CodecType codec, CodecQ quality) {
    const std::string path = dir.file(name);
    MovieSettings settings;
    settings.codecType = codec;
    settings.codecQuality = quality;
    EXPECT_EQ(savePanoramaMovie(scene, path, settings).code, 0);
    return path;
  }

  test::TempDir dir;
  DibImage scene;
};

TEST_F(QtvrPanoramaReaderTest, KelmirasOwnMoviesOpenBackAsThePanoramaSaved) {
  struct Case {
    const char* name;
    CodecType codec;
    CodecQ quality;
    double leastPsnr;
  };
  for (const Case& c : {Case{"jpeg.mov", kJPEGCodecType, codecLosslessQuality, 45.0},
                        Case{"cinepak.mov", kCinepakCodecType, codecHighQuality, 28.0},
                        Case{"sorenson.mov", kSorensonCodecType, codecHighQuality, 28.0}}) {
    SCOPED_TRACE(c.name);
    const std::string movie = writeMovie(c.name, c.codec, c.quality);
    QtvrPanorama read;
    ASSERT_EQ(readQtvrPanorama(movie, read), "");
    ASSERT_EQ(read.panorama.width(), 2016);
    ASSERT_EQ(read.panorama.height(), 392);
    EXPECT_EQ(read.codec, c.codec);
    EXPECT_EQ(read.tileCount, 24);
    EXPECT_TRUE(read.turned);
    EXPECT_TRUE(read.hasHotSpots);  // Kelmira's node carries URL hot spots
    const double figure = psnr(read.panorama.pixels(), scene.pixels(), 3u * 2016 * 392);
    std::printf("%s: PSNR %.2f dB\n", c.name, figure);
    EXPECT_GT(figure, c.leastPsnr);

    // The writer's tilt: atan(w * 3.14159 / (24 t)) for tiles of 392 x 84.
    const double tilt = std::atan(392 * 3.14159 / (24 * 84)) * 57.29582790879778;
    EXPECT_NEAR(read.maxTilt, tilt, 1e-4);
    EXPECT_NEAR(read.minTilt, -tilt, 1e-4);
    const std::vector<double> rows = read.rowElevations();
    ASSERT_EQ(rows.size(), 392u);
    EXPECT_NEAR(rows[195] + rows[196], 0.0, 1e-9);  // level in the middle
    EXPECT_LT(rows.front(), tilt);
    EXPECT_GT(rows.front(), tilt - 0.2);
    // Evenly spaced on the cylinder: equal steps of the tangent.
    const double step = std::tan(rows[1] / 57.29577951308232) - std::tan(rows[0] / 57.29577951308232);
    EXPECT_NEAR(std::tan(rows[391] / 57.29577951308232) - std::tan(rows[390] / 57.29577951308232), step, 1e-12);
  }
}

TEST_F(QtvrPanoramaReaderTest, FfmpegPutsTheSameMovieTogetherTheSameWay) {
  for (const auto& [name, codec] : {std::pair{"jpeg.mov", kJPEGCodecType}, std::pair{"cinepak.mov", kCinepakCodecType},
                                    std::pair{"sorenson.mov", kSorensonCodecType}}) {
    SCOPED_TRACE(name);
    const std::string movie = writeMovie(name, codec, codecNormalQuality);
    QtvrPanorama read;
    ASSERT_EQ(readQtvrPanorama(movie, read), "");
    // The tiles stacked top to bottom, then turned a quarter clockwise.
    std::FILE* pipe = popen(("ffmpeg -v error -ignore_editlist 1 -i " + movie +
                             " -map 0:v:0 -vf tile=1x24,transpose=1 -frames:v 1 -f rawvideo -pix_fmt rgb24 -")
                                .c_str(),
                            "r");
    ASSERT_NE(pipe, nullptr);
    const std::size_t bytes = 3u * 2016 * 392;
    std::vector<std::uint8_t> frame(bytes + 1);
    const std::size_t got = std::fread(frame.data(), 1, frame.size(), pipe);
    pclose(pipe);
    if (got == 0) GTEST_SKIP() << "ffmpeg is not installed";
    ASSERT_EQ(got, bytes);
    const double figure = psnr(read.panorama.pixels(), frame.data(), bytes);
    std::printf("%s: against ffmpeg, PSNR %.2f dB\n", name, figure);
    EXPECT_GE(figure, 40.0);
  }
}

TEST_F(QtvrPanoramaReaderTest, DamagedAndForeignMoviesAreRefusedWithAReason) {
  const std::string movie = writeMovie("good.mov", kJPEGCodecType, codecNormalQuality);
  const std::vector<std::uint8_t> good = fileBytes(movie);
  QtvrPanorama read;

  const auto refusal = [&](const std::vector<std::uint8_t>& bytes) {
    const std::string path = dir.file("bad.mov");
    writeBytes(path, bytes);
    QtvrPanorama result;
    return readQtvrPanorama(path, result);
  };

  EXPECT_EQ(refusal({'n', 'o', 't', ' ', 'a', ' ', 'm', 'o', 'v', 'i', 'e'}),
            "The file is not a QuickTime movie, or it is damaged.");
  EXPECT_EQ(readQtvrPanorama(dir.file("missing.mov"), read), "The movie cannot be opened.");

  // Cut short: the movie atom stays whole (it comes first), the tiles lie beyond the end.
  std::vector<std::uint8_t> cut(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(good.size() / 2));
  EXPECT_EQ(refusal(cut), "A tile of the movie lies outside the file.");

  // The panorama track's handler renamed: an object movie.
  std::vector<std::uint8_t> object = good;
  const std::size_t handler = find(object, "mhlrpano");
  ASSERT_NE(handler, std::string::npos);
  std::copy_n("obje", 4, object.begin() + static_cast<std::ptrdiff_t>(handler + 4));
  EXPECT_EQ(refusal(object), "This is a QuickTime VR object movie; only panorama movies can be opened.");

  // No VR tracks at all.
  std::vector<std::uint8_t> plain = good;
  for (const char* type : {"mhlrpano", "mhlrqtvr"}) {
    const std::size_t at = find(plain, type);
    ASSERT_NE(at, std::string::npos);
    std::copy_n("soun", 4, plain.begin() + static_cast<std::ptrdiff_t>(at + 4));
  }
  EXPECT_EQ(refusal(plain), "This movie is not a QuickTime VR panorama.");

  // pdat fields: tiles down, stored size, panorama type, compressor.
  const std::size_t pdat = find(good, "pdat");
  ASSERT_NE(pdat, std::string::npos);
  const std::size_t data = pdat + 16;  // the QT atom's header is 20 bytes from its size field
  std::vector<std::uint8_t> noTiles = good;
  noTiles[data + 58] = 0;
  noTiles[data + 59] = 0;
  EXPECT_EQ(refusal(noTiles), "The movie's panorama has an impossible size or tile count.");
  std::vector<std::uint8_t> huge = good;
  std::fill_n(huge.begin() + static_cast<std::ptrdiff_t>(data + 48), 8, 0x7F);
  EXPECT_EQ(refusal(huge), "The movie's panorama has an impossible size or tile count.");
  std::vector<std::uint8_t> moreTiles = good;
  moreTiles[data + 59] = 48;  // 48 tiles said, 24 stored
  EXPECT_EQ(refusal(moreTiles), "The movie's panorama image track lacks tiles.");
  std::vector<std::uint8_t> cube = good;
  std::copy_n("cube", 4, cube.begin() + static_cast<std::ptrdiff_t>(data + 76));
  EXPECT_EQ(refusal(cube), "The movie's cubic panorama has faces of an impossible size.");  // 392 x 84 tiles
  std::vector<std::uint8_t> pdatGone = good;
  std::copy_n("xdat", 4, pdatGone.begin() + static_cast<std::ptrdiff_t>(pdat));
  EXPECT_EQ(refusal(pdatGone), "The movie's panorama description (pdat) is missing or damaged.");
  std::vector<std::uint8_t> codec = good;
  const std::size_t jpeg = find(codec, "jpeg");
  ASSERT_NE(jpeg, std::string::npos);
  std::copy_n("rle ", 4, codec.begin() + static_cast<std::ptrdiff_t>(jpeg));
  EXPECT_EQ(refusal(codec), "The movie's tiles are compressed as 'rle ', which cannot be decoded.");

  // A tile whose frame claims another size: refused before it is decoded.
  std::vector<std::uint8_t> wide = good;
  const std::size_t firstTile = find(wide, "\xFF\xD8\xFF");
  ASSERT_NE(firstTile, std::string::npos);
  std::size_t frame = std::string::npos;
  for (const char* sof : {"\xFF\xC0", "\xFF\xC1", "\xFF\xC2"}) {
    const std::vector<std::uint8_t> rest(wide.begin() + static_cast<std::ptrdiff_t>(firstTile), wide.end());
    const std::size_t at = find(rest, sof);
    if (at != std::string::npos && (frame == std::string::npos || firstTile + at < frame)) frame = firstTile + at;
  }
  ASSERT_NE(frame, std::string::npos);
  wide[frame + 7] = 0x7F;
  wide[frame + 8] = 0xFF;
  EXPECT_EQ(refusal(wide), "The movie's panorama cannot be read: a tile's size differs from the panorama's tiles.");

  // A tile's bytes spoilt: its JPEG markers gone.
  std::vector<std::uint8_t> spoilt = good;
  const std::size_t tile = find(spoilt, "\xFF\xD8\xFF");
  ASSERT_NE(tile, std::string::npos);
  std::fill_n(spoilt.begin() + static_cast<std::ptrdiff_t>(tile), 400, 0);
  EXPECT_EQ(refusal(spoilt), "The movie's panorama cannot be read: a tile is not a readable JPEG.");
}

// A cubic movie of six flat-coloured faces: Kelmira's writer makes 96 x 96 tiles of a
// 2304 x 96 panorama, the first six are taken as the faces once the pdat says 'cube'.
TEST_F(QtvrPanoramaReaderTest, ACubesFacesLandAtTheirLongitudesAndLatitudes) {
  const std::uint8_t colours[6][3] = {{220, 30, 30}, {30, 220, 30}, {30, 30, 220}, {220, 220, 30}, {30, 220, 220}, {220, 30, 220}};
  ASSERT_EQ(scene.allocate(2304, 96), ImageError::None);
  std::uint8_t* p = scene.beginAccess();
  for (int y = 0; y < 96; ++y)
    for (int x = 0; x < 2304; ++x, p += 3) {
      const int tile = 23 - x / 96;  // the turned picture's top tile is the panorama's right-most strip
      for (int c = 0; c < 3; ++c) p[c] = tile < 6 ? colours[tile][c] : 128;
    }
  scene.endAccess();
  const std::string path = writeMovie("cube.mov", kJPEGCodecType, codecLosslessQuality);
  std::vector<std::uint8_t> bytes = fileBytes(path);
  const std::size_t pdat = find(bytes, "pdat");
  ASSERT_NE(pdat, std::string::npos);
  std::copy_n("cube", 4, bytes.begin() + static_cast<std::ptrdiff_t>(pdat + 16 + 76));
  writeBytes(path, bytes);

  QtvrPanorama read;
  ASSERT_EQ(readQtvrPanorama(path, read), "");
  EXPECT_TRUE(read.cubic);
  ASSERT_EQ(read.panorama.width(), 384);
  ASSERT_EQ(read.panorama.height(), 192);
  const std::vector<double> rows = read.rowElevations();
  EXPECT_NEAR(rows.front(), 90.0 - 90.0 / 192, 1e-9);
  EXPECT_NEAR(rows.back(), -90.0 + 90.0 / 192, 1e-9);
  struct Place {
    double longitude;
    double latitude;
    int face;
  };
  for (const Place& place : {Place{0, 0, 0}, Place{90, 0, 1}, Place{179, 0, 2}, Place{-179, 0, 2}, Place{-90, 0, 3},
                             Place{0, 80, 4}, Place{135, 60, 4}, Place{0, -80, 5}, Place{-60, -70, 5},
                             Place{40, 30, 0}, Place{-160, -20, 2}}) {
    SCOPED_TRACE(testing::Message() << place.longitude << ", " << place.latitude);
    const int column = static_cast<int>((place.longitude + 180) / 360 * 384);
    const int row = static_cast<int>((90 - place.latitude) / 180 * 192);
    const std::uint8_t* pixel = read.panorama.pixels() + 3 * (row * 384 + column);
    for (int c = 0; c < 3; ++c) EXPECT_NEAR(pixel[c], colours[place.face][c], 12);
  }
}

// An object movie as libquicktime, a writer no one here wrote, makes one: twelve views.
TEST_F(QtvrPanoramaReaderTest, AnotherWritersObjectMovieIsRefusedAsOne) {
  const std::string path = dir.file("object.mov");
  quicktime_t* file = quicktime_open(path.c_str(), 0, 1);
  ASSERT_NE(file, nullptr);
  char jpeg[] = "jpeg";
  lqt_codec_info_t** codecs = lqt_find_video_codec(jpeg, 1);
  if (codecs == nullptr) {
    quicktime_close(file);
    GTEST_SKIP() << "libquicktime has no jpeg codec here";
  }
  lqt_add_video_track(file, 96, 32, 1, 600, codecs[0]);
  lqt_destroy_codec_info(codecs);
  lqt_qtvr_set_type(file, QTVR_OBJ, 96, 32, 1, 600, 0);
  std::vector<std::uint8_t> pixels(96 * 32 * 3, 90);
  std::vector<std::uint8_t*> rows(32);
  for (int y = 0; y < 32; ++y) rows[y] = pixels.data() + y * 96 * 3;
  for (int view = 0; view < 12; ++view) lqt_encode_video(file, rows.data(), 0, view);
  quicktime_close(file);
  QtvrPanorama read;
  EXPECT_EQ(readQtvrPanorama(path, read), "This is a QuickTime VR object movie; only panorama movies can be opened.");
}

TEST_F(QtvrPanoramaReaderTest, MoviesAreToldFromPicturesByTheirFirstAtom) {
  EXPECT_TRUE(looksLikeQuickTimeMovie(writeMovie("a.mov", kJPEGCodecType, codecNormalQuality)));
  ASSERT_EQ(scene.saveToFile(dir.file("a.jpg"), FileTypeJpeg), ImageError::None);
  EXPECT_FALSE(looksLikeQuickTimeMovie(dir.file("a.jpg")));
  EXPECT_FALSE(looksLikeQuickTimeMovie(dir.file("none.mov")));
}

// The window takes a QuickTime file for a panorama movie only when it has a VR track: a
// camera's .mov is a mirror video.
TEST_F(QtvrPanoramaReaderTest, VrMoviesAreToldFromOrdinaryVideos) {
  EXPECT_TRUE(isQuickTimeVrMovie(writeMovie("vr.mov", kJPEGCodecType, codecNormalQuality)));
  const auto write = [&](const std::string& name, bool object) {
    const std::string path = dir.file(name);
    quicktime_t* file = quicktime_open(path.c_str(), 0, 1);
    char jpeg[] = "jpeg";
    lqt_codec_info_t** codecs = lqt_find_video_codec(jpeg, 1);
    if (file == nullptr || codecs == nullptr) {
      if (file != nullptr) quicktime_close(file);
      return std::string();
    }
    lqt_add_video_track(file, 96, 32, 1, 600, codecs[0]);
    lqt_destroy_codec_info(codecs);
    if (object) lqt_qtvr_set_type(file, QTVR_OBJ, 96, 32, 1, 600, 0);
    std::vector<std::uint8_t> pixels(96 * 32 * 3, 90);
    std::vector<std::uint8_t*> rows(32);
    for (int y = 0; y < 32; ++y) rows[y] = pixels.data() + y * 96 * 3;
    for (int frame = 0; frame < 12; ++frame) lqt_encode_video(file, rows.data(), 0, frame);
    quicktime_close(file);
    return path;
  };
  const std::string video = write("video.mov", false);
  const std::string object = write("object.mov", true);
  if (video.empty() || object.empty()) GTEST_SKIP() << "libquicktime has no jpeg codec here";
  EXPECT_TRUE(looksLikeQuickTimeMovie(video));
  EXPECT_FALSE(isQuickTimeVrMovie(video));
  EXPECT_TRUE(isQuickTimeVrMovie(object));  // refused later, as the object movie it is
  ASSERT_EQ(scene.saveToFile(dir.file("b.jpg"), FileTypeJpeg), ImageError::None);
  EXPECT_FALSE(isQuickTimeVrMovie(dir.file("b.jpg")));
  EXPECT_FALSE(isQuickTimeVrMovie(dir.file("none.mov")));
}

}  // namespace
}  // namespace kelmira

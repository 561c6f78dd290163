#include "image/jpeg_codec.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include <jpeglib.h>

#include "codec_test_helpers.h"

namespace kelmira {
namespace {

using test::Bytes;

// A smooth picture (up to 48 x 64): JPEG keeps it closely even with halved chroma.
Bytes gradient(int width, int height) {
  Bytes pixels;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      pixels.insert(pixels.end(), {static_cast<std::uint8_t>(4 * x), static_cast<std::uint8_t>(3 * y),
                                   static_cast<std::uint8_t>(250 - 2 * x - 2 * y)});
    }
  }
  return pixels;
}

int maxDifference(const Bytes& a, const Bytes& b, std::size_t from = 0, std::size_t to = SIZE_MAX) {
  int most = 0;
  for (std::size_t i = from; i < std::min({a.size(), b.size(), to}); ++i) most = std::max(most, std::abs(a[i] - b[i]));
  return most;
}

// Writes a file with libjpeg itself, for colour spaces our encoder never writes.
void writeWithLibjpeg(const std::string& path, int width, int height, const Bytes& samples, int components,
                      J_COLOR_SPACE input, J_COLOR_SPACE stored) {
  jpeg_compress_struct info;
  jpeg_error_mgr errors;
  info.err = jpeg_std_error(&errors);
  jpeg_create_compress(&info);
  std::FILE* file = std::fopen(path.c_str(), "wb");
  ASSERT_NE(file, nullptr);
  jpeg_stdio_dest(&info, file);
  info.image_width = static_cast<JDIMENSION>(width);
  info.image_height = static_cast<JDIMENSION>(height);
  info.input_components = components;
  info.in_color_space = input;
  jpeg_set_defaults(&info);
  jpeg_set_colorspace(&info, stored);
  jpeg_set_quality(&info, 100, TRUE);
  jpeg_start_compress(&info, TRUE);
  for (int y = 0; y < height; ++y) {
    JSAMPROW row = const_cast<JSAMPLE*>(samples.data() + static_cast<std::size_t>(y) * width * components);
    jpeg_write_scanlines(&info, &row, 1);
  }
  jpeg_finish_compress(&info);
  jpeg_destroy_compress(&info);
  std::fclose(file);
}

Bytes encodeJpeg(const test::TempDir& dir, const Bytes& pixels, int width, int height, int quality, bool progressive) {
  const std::string path = dir.file("encoded.jpg");
  ImageErrorCode error = static_cast<ImageErrorCode>(-1);
  const std::int64_t written = test::encodeFile(
      path, [&](ImageStream& s) { return writeJpeg(s, pixels.data(), width, height, quality, progressive); }, error);
  EXPECT_EQ(error, ImageError::None);
  Bytes file = test::readFileBytes(path);
  EXPECT_EQ(written, static_cast<std::int64_t>(file.size()));
  return file;
}

std::size_t findMarker(const Bytes& file, std::uint8_t marker, std::size_t from = 0) {
  for (std::size_t i = from; i + 1 < file.size(); ++i) {
    if (file[i] == 0xFF && file[i + 1] == marker) return i;
  }
  return std::string::npos;
}

TEST(JpegCodec, RoundTripsBaselineAndProgressive) {
  test::TempDir dir;
  const Bytes picture = gradient(48, 32);
  for (bool progressive : {false, true}) {
    const Bytes file = encodeJpeg(dir, picture, 48, 32, 100, progressive);
    // JFIF header with density unit 0 and density 1 by 1.
    ASSERT_GT(file.size(), 20u);
    EXPECT_EQ(Bytes(file.begin(), file.begin() + 4), (Bytes{0xFF, 0xD8, 0xFF, 0xE0}));
    EXPECT_EQ(Bytes(file.begin() + 13, file.begin() + 18), (Bytes{0, 0, 1, 0, 1}));
    EXPECT_EQ(findMarker(file, 0xC2) != std::string::npos, progressive);
    EXPECT_EQ(findMarker(file, 0xC0) != std::string::npos, !progressive);

    const test::Decoded decoded = test::decodeBytes(dir, file, readJpeg);
    EXPECT_EQ(decoded.error, ImageError::None);
    EXPECT_EQ(decoded.width, 48);
    EXPECT_EQ(decoded.height, 32);
    EXPECT_LE(maxDifference(decoded.bytes(), picture), 6) << "progressive " << progressive;
  }
}

TEST(JpegCodec, GreyscaleCmykAndYcckFiles) {
  test::TempDir dir;
  const std::string path = dir.file("made.jpg");
  Bytes grey;
  for (int i = 0; i < 16 * 8; ++i) grey.push_back(static_cast<std::uint8_t>(40 + i));
  writeWithLibjpeg(path, 16, 8, grey, 1, JCS_GRAYSCALE, JCS_GRAYSCALE);
  const test::Decoded g = test::decodeFile(path, readJpeg);
  ASSERT_EQ(g.error, ImageError::None);
  const Bytes greyPixels = g.bytes();
  ASSERT_EQ(greyPixels.size(), 3 * grey.size());
  for (std::size_t i = 0; i < grey.size(); ++i) {
    EXPECT_EQ(greyPixels[3 * i], greyPixels[3 * i + 1]);
    EXPECT_EQ(greyPixels[3 * i], greyPixels[3 * i + 2]);
    EXPECT_LE(std::abs(greyPixels[3 * i] - grey[i]), 2);
  }

  // Flat C 200, M 100, Y 50, K 128: each channel is scaled by K / 255.
  Bytes cmyk;
  for (int i = 0; i < 8 * 8; ++i) cmyk.insert(cmyk.end(), {200, 100, 50, 128});
  writeWithLibjpeg(path, 8, 8, cmyk, 4, JCS_CMYK, JCS_CMYK);
  const test::Decoded c = test::decodeFile(path, readJpeg);
  EXPECT_EQ(c.error, ImageError::None);
  const Bytes cmykPixels = c.bytes();
  ASSERT_EQ(cmykPixels.size(), 3u * 64);
  for (std::size_t i = 0; i < cmykPixels.size(); i += 3) {
    EXPECT_NEAR(cmykPixels[i], 200 * 128 / 255, 2);
    EXPECT_NEAR(cmykPixels[i + 1], 100 * 128 / 255, 2);
    EXPECT_NEAR(cmykPixels[i + 2], 50 * 128 / 255, 2);
  }

  writeWithLibjpeg(path, 8, 8, cmyk, 4, JCS_CMYK, JCS_YCCK);
  const test::Decoded y = test::decodeFile(path, readJpeg);
  EXPECT_EQ(y.error, ImageError::WrongBitDepth);
  EXPECT_EQ(y.pixels, nullptr);
}

TEST(JpegCodec, TruncatedFilesKeepTheRowsThatArrived) {
  test::TempDir dir;
  const Bytes picture = gradient(32, 64);
  const std::size_t rowBytes = 3 * 32;

  // Baseline cut in the middle of its scan: the top rows are there, the bottom row
  // stays black.
  Bytes baseline = encodeJpeg(dir, picture, 32, 64, 95, false);
  baseline.resize((findMarker(baseline, 0xDA) + baseline.size()) / 2);
  const test::Decoded cut = test::decodeBytes(dir, baseline, readJpeg);
  EXPECT_EQ(cut.error, ImageError::FileRead);
  ASSERT_EQ(cut.height, 64);
  const Bytes cutPixels = cut.bytes();
  EXPECT_LE(maxDifference(cutPixels, picture, 0, 8 * rowBytes), 8);
  EXPECT_EQ(Bytes(cutPixels.end() - rowBytes, cutPixels.end()), Bytes(rowBytes, 0));

  // Progressive cut inside its last scan: every row has the earlier scans.
  Bytes progressive = encodeJpeg(dir, picture, 32, 64, 95, true);
  std::size_t lastScan = 0;
  for (std::size_t at = findMarker(progressive, 0xDA); at != std::string::npos; at = findMarker(progressive, 0xDA, at + 2)) {
    lastScan = at;
  }
  progressive.resize((lastScan + progressive.size()) / 2);
  const test::Decoded partial = test::decodeBytes(dir, progressive, readJpeg);
  EXPECT_EQ(partial.error, ImageError::FileRead);
  EXPECT_LE(maxDifference(partial.bytes(), picture), 40);

  // A header that claims 30000 rows over the data of 64.
  Bytes tall = encodeJpeg(dir, picture, 32, 64, 95, false);
  const std::size_t sof = findMarker(tall, 0xC0);
  tall[sof + 5] = 30000 >> 8;
  tall[sof + 6] = 30000 & 0xFF;
  const test::Decoded claimed = test::decodeBytes(dir, tall, readJpeg);
  EXPECT_EQ(claimed.error, ImageError::FileRead);
  EXPECT_EQ(claimed.height, 30000);
  EXPECT_LE(maxDifference(claimed.bytes(), picture, 0, 8 * rowBytes), 8);
}

TEST(JpegCodec, BrokenFilesAndBadArguments) {
  test::TempDir dir;
  const Bytes picture = gradient(16, 16);
  const Bytes good = encodeJpeg(dir, picture, 16, 16, 90, false);
  const std::size_t sof = findMarker(good, 0xC0);

  Bytes letters{0xFF, 0xD8, 0xFF};
  letters.resize(100, 'A');
  Bytes noise{0xFF, 0xD8, 0xFF, 0xE0};
  const std::vector<std::uint8_t> random = test::patternPixels(20, 20, 7);
  noise.insert(noise.end(), random.begin(), random.end());
  Bytes huge = good;
  huge[sof + 5] = huge[sof + 7] = 65500 >> 8;
  huge[sof + 6] = huge[sof + 8] = 65500 & 0xFF;
  Bytes empty = good;
  empty[sof + 7] = empty[sof + 8] = 0;
  struct Case {
    const char* name;
    Bytes bytes;
    ImageErrorCode error;
  };
  const Case cases[] = {
      {"letters after SOI", letters, ImageError::BadJpeg},
      {"noise after SOI", noise, ImageError::BadJpeg},
      {"empty file", {}, ImageError::BadJpeg},
      {"headers cut", Bytes(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(sof + 4)), ImageError::BadJpeg},
      {"zero width", empty, ImageError::BadJpeg},
      {"65500 square", huge, ImageError::OutOfMemory},
  };
  for (const Case& c : cases) {
    const test::Decoded d = test::decodeBytes(dir, c.bytes, readJpeg);
    EXPECT_EQ(d.error, c.error) << c.name;
    EXPECT_EQ(d.pixels, nullptr) << c.name;
  }

  // Comments and application markers are kept aside and change nothing.
  Bytes commented(good.begin(), good.begin() + 2);
  commented.insert(commented.end(), {0xFF, 0xFE, 0x00, 0x07, 'h', 'e', 'l', 'l', 'o'});
  commented.insert(commented.end(), {0xFF, 0xE1, 0x00, 0x04, 0x12, 0x34});
  commented.insert(commented.end(), good.begin() + 2, good.end());
  EXPECT_EQ(test::decodeBytes(dir, commented, readJpeg).bytes(), test::decodeBytes(dir, good, readJpeg).bytes());

  const std::string path = dir.file("out.jpg");
  ImageErrorCode error = static_cast<ImageErrorCode>(-1);
  EXPECT_EQ(test::encodeFile(path, [&](ImageStream& s) { return writeJpeg(s, picture.data(), 0, 16, 90, false); }, error), 0);
  EXPECT_EQ(error, ImageError::BadParameter);
  const Bytes wide(3 * 70000, 128);
  EXPECT_EQ(test::encodeFile(path, [&](ImageStream& s) { return writeJpeg(s, wide.data(), 70000, 1, 90, false); }, error), 0);
  EXPECT_EQ(error, ImageError::BadJpeg);
}

TEST(JpegCodec, ProgressAbortKeepsTheFirstRow) {
  test::TempDir dir;
  const Bytes picture = gradient(16, 16);
  const Bytes file = encodeJpeg(dir, picture, 16, 16, 100, false);
  test::ScopedProgress abort([](std::int32_t, std::int32_t) { return false; });
  const test::Decoded d = test::decodeBytes(dir, file, readJpeg);
  EXPECT_EQ(d.error, ImageError::Aborted);
  const Bytes pixels = d.bytes();
  ASSERT_EQ(pixels.size(), picture.size());
  EXPECT_LE(maxDifference(pixels, picture, 0, 48), 6);
  EXPECT_EQ(Bytes(pixels.begin() + 48, pixels.end()), Bytes(pixels.size() - 48, 0));

  ImageErrorCode error = static_cast<ImageErrorCode>(-1);
  EXPECT_EQ(test::encodeFile(dir.file("a.jpg"), [&](ImageStream& s) { return writeJpeg(s, picture.data(), 16, 16, 90, true); }, error), 0);
  EXPECT_EQ(error, ImageError::Aborted);
}

}  // namespace
}  // namespace kelmira

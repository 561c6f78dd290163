#include "image/tiff_codec.h"

#include <gtest/gtest.h>

#include <vector>

#include <tiffio.h>

#include "codec_test_helpers.h"

namespace kelmira {
namespace {

using test::Bytes;

// A little-endian TIFF built field by field: header, one directory at offset 8, the
// bits-per-sample values at 122 and the single strip at 128.
Bytes tiffFile(std::uint32_t width, std::uint32_t height, std::uint16_t samples, std::uint16_t photometric,
               const Bytes& strip) {
  Bytes file{'I', 'I', 42, 0};
  test::putU32(file, 8);
  test::putU16(file, 9);
  const auto entry = [&](std::uint16_t tag, std::uint16_t type, std::uint32_t count, std::uint32_t value) {
    test::putU16(file, tag);
    test::putU16(file, type);
    test::putU32(file, count);
    if (type == 3 && count == 1) {
      test::putU16(file, value);
      test::putU16(file, 0);
    } else {
      test::putU32(file, value);
    }
  };
  constexpr std::uint16_t kShort = 3, kLong = 4;
  entry(256, kLong, 1, width);
  entry(257, kLong, 1, height);
  if (samples == 1) {
    entry(258, kShort, 1, 8);
  } else {
    entry(258, kShort, samples, 122);
  }
  entry(259, kShort, 1, 1);
  entry(262, kShort, 1, photometric);
  entry(273, kLong, 1, 128);
  entry(277, kShort, 1, samples);
  entry(278, kLong, 1, height);
  entry(279, kLong, 1, static_cast<std::uint32_t>(strip.size()));
  test::putU32(file, 0);
  for (int i = 0; i < 3; ++i) test::putU16(file, 8);
  file.insert(file.end(), strip.begin(), strip.end());
  return file;
}

Bytes writeTiffFile(const std::string& path, const Bytes& pixels, int width, int height, ImageErrorCode& error) {
  const std::int64_t written =
      test::encodeFile(path, [&](ImageStream& s) { return writeTiff(s, pixels.data(), width, height); }, error);
  Bytes file = test::readFileBytes(path);
  if (written != 0) {
    EXPECT_EQ(written, static_cast<std::int64_t>(file.size()));
  }
  return file;
}

TEST(TiffCodec, RoundTripAndTheTagsWritten) {
  test::TempDir dir;
  const std::string path = dir.file("pattern.tif");
  const std::vector<std::uint8_t> picture = test::patternPixels(7, 5);
  ImageErrorCode error = static_cast<ImageErrorCode>(-1);
  writeTiffFile(path, Bytes(picture.begin(), picture.end()), 7, 5, error);
  EXPECT_EQ(error, ImageError::None);

  const test::Decoded decoded = test::decodeFile(path, readTiff);
  EXPECT_EQ(decoded.error, ImageError::None);
  EXPECT_EQ(decoded.width, 7);
  EXPECT_EQ(decoded.height, 5);
  EXPECT_EQ(decoded.bytes(), Bytes(picture.begin(), picture.end()));

  TIFF* tif = TIFFOpen(path.c_str(), "r");
  ASSERT_NE(tif, nullptr);
  const auto shortTag = [tif](ttag_t tag) {
    std::uint16_t value = 0;
    EXPECT_TRUE(TIFFGetField(tif, tag, &value)) << tag;
    return value;
  };
  const auto resolution = [tif](ttag_t tag) {
    float value = 0;
    EXPECT_TRUE(TIFFGetField(tif, tag, &value)) << tag;
    return value;
  };
  char* software = nullptr;
  ASSERT_TRUE(TIFFGetField(tif, TIFFTAG_SOFTWARE, &software));
  EXPECT_EQ(std::string(software), "Quorvane, using 3.4beta037");
  EXPECT_EQ(shortTag(TIFFTAG_ORIENTATION), 1);
  EXPECT_EQ(shortTag(TIFFTAG_COMPRESSION), 1);
  EXPECT_EQ(shortTag(TIFFTAG_SAMPLESPERPIXEL), 3);
  EXPECT_EQ(shortTag(TIFFTAG_BITSPERSAMPLE), 8);
  EXPECT_EQ(shortTag(TIFFTAG_PLANARCONFIG), 1);
  EXPECT_EQ(shortTag(TIFFTAG_PHOTOMETRIC), 2);
  EXPECT_EQ(shortTag(TIFFTAG_RESOLUTIONUNIT), 1);
  EXPECT_EQ(resolution(TIFFTAG_XRESOLUTION), 1.0f);
  EXPECT_EQ(resolution(TIFFTAG_YRESOLUTION), 1.0f);
  TIFFClose(tif);

  EXPECT_EQ(test::encodeFile(path, [&](ImageStream& s) { return writeTiff(s, picture.data(), 7, 0); }, error), 0);
  EXPECT_EQ(error, ImageError::BadParameter);
}

TEST(TiffCodec, ReadsHandMadeGreyAndLzwFiles) {
  test::TempDir dir;
  const Bytes rgb{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18};
  const test::Decoded colour = test::decodeBytes(dir, tiffFile(3, 2, 3, 2, rgb), readTiff);
  EXPECT_EQ(colour.error, ImageError::None);
  EXPECT_EQ(colour.bytes(), rgb);

  const test::Decoded grey = test::decodeBytes(dir, tiffFile(2, 2, 1, 1, {0, 100, 200, 255}), readTiff);
  EXPECT_EQ(grey.error, ImageError::None);
  EXPECT_EQ(grey.bytes(), (Bytes{0, 0, 0, 100, 100, 100, 200, 200, 200, 255, 255, 255}));

  const std::string path = dir.file("lzw.tif");
  const std::vector<std::uint8_t> picture = test::patternPixels(9, 7, 3);
  TIFF* tif = TIFFOpen(path.c_str(), "w");
  ASSERT_NE(tif, nullptr);
  TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, 9);
  TIFFSetField(tif, TIFFTAG_IMAGELENGTH, 7);
  TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 3);
  TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
  TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
  TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
  TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_LZW);
  TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, 2);
  std::vector<std::uint8_t> row(27);
  for (std::uint32_t y = 0; y < 7; ++y) {
    std::copy_n(picture.begin() + 27 * y, 27, row.begin());
    ASSERT_EQ(TIFFWriteScanline(tif, row.data(), y, 0), 1);
  }
  TIFFClose(tif);
  EXPECT_EQ(test::decodeFile(path, readTiff).bytes(), Bytes(picture.begin(), picture.end()));
}

TEST(TiffCodec, BrokenFilesGiveCodesAndNoBlock) {
  test::TempDir dir;
  const Bytes rgb(18, 50);
  const Bytes whole = tiffFile(3, 2, 3, 2, rgb);
  Bytes junk{'I', 'I', 42, 0, 8, 0, 0, 0};
  junk.resize(64, 0xA5);
  Bytes pastEnd{'M', 'M', 0, 42, 0, 0, 0x10, 0};
  pastEnd.resize(50, 0);
  struct Case {
    const char* name;
    Bytes bytes;
    ImageErrorCode error;
  };
  const Case cases[] = {
      {"empty", {}, ImageError::BadTiff},
      {"junk directory", junk, ImageError::BadTiff},
      {"directory past the end", pastEnd, ImageError::BadTiff},
      {"strip cut short", Bytes(whole.begin(), whole.end() - 9), ImageError::BadTiff},
      {"two samples", tiffFile(2, 1, 2, 2, Bytes(4, 0)), ImageError::BadTiff},
      {"100000 square", tiffFile(100000, 100000, 1, 1, Bytes(16, 0)), ImageError::OutOfMemory},
  };
  for (const Case& c : cases) {
    const test::Decoded d = test::decodeBytes(dir, c.bytes, readTiff);
    EXPECT_EQ(d.error, c.error) << c.name;
    EXPECT_EQ(d.pixels, nullptr) << c.name;
  }
}

TEST(TiffCodec, ProgressAbortFreesTheBlock) {
  test::TempDir dir;
  const std::string path = dir.file("abort.tif");
  const Bytes picture(3 * 4 * 4, 77);
  ImageErrorCode error = static_cast<ImageErrorCode>(-1);
  writeTiffFile(path, picture, 4, 4, error);
  test::ScopedProgress abort([](std::int32_t, std::int32_t) { return false; });
  const test::Decoded d = test::decodeFile(path, readTiff);
  EXPECT_EQ(d.error, ImageError::Aborted);
  EXPECT_EQ(d.pixels, nullptr);
  EXPECT_EQ(writeTiffFile(dir.file("b.tif"), picture, 4, 4, error).empty(), false);
  EXPECT_EQ(error, ImageError::Aborted);
}

}  // namespace
}  // namespace kelmira

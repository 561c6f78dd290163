#include "image/codec_dispatch.h"

#include <gtest/gtest.h>

#include <vector>

#include "codec_test_helpers.h"

namespace kelmira {
namespace {

using test::Bytes;

TEST(CodecDispatch, TypesWithoutACodecLeaveTheLastErrorAlone) {
  test::TempDir dir;
  const std::string path = dir.file("any.bin");
  test::writeFileBytes(path, Bytes(100, 0x42));
  const std::uint8_t pixel[3] = {1, 2, 3};
  for (FileType type : {FileTypeNone, FileTypeWmf, FileTypeEmf, FileTypeMovie}) {
    std::unique_ptr<ImageStream> stream = openForReading(path);
    ASSERT_TRUE(stream);
    closeStream(nullptr);  // leaves ImageError::BadParameter behind
    std::int32_t width = -1, height = -1;
    EXPECT_EQ(decodeStream(*stream, type, width, height), nullptr);
    EXPECT_EQ(lastError(), ImageError::BadParameter) << type;
    EXPECT_EQ(width, 0);
    EXPECT_EQ(height, 0);
    closeStream(std::move(stream));

    const std::string out = dir.file("out.bin");
    ImageErrorCode error = static_cast<ImageErrorCode>(-1);
    EXPECT_EQ(test::encodeFile(out, [&](ImageStream& s) { return encodeStream(s, type, pixel, 1, 1); }, error), 0);
    EXPECT_EQ(error, ImageError::None) << "the open before it succeeded";
    EXPECT_TRUE(test::readFileBytes(out).empty());
  }
}

TEST(CodecDispatch, EncodersAndDecodersByType) {
  test::TempDir dir;
  const std::vector<std::uint8_t> picture = test::patternPixels(6, 4, 5);
  const auto encodeAs = [&](FileType type, const std::string& name) {
    ImageErrorCode error = static_cast<ImageErrorCode>(-1);
    const std::int64_t written =
        test::encodeFile(dir.file(name), [&](ImageStream& s) { return encodeStream(s, type, picture.data(), 6, 4); }, error);
    EXPECT_EQ(error, ImageError::None);
    const Bytes file = test::readFileBytes(dir.file(name));
    EXPECT_EQ(written, static_cast<std::int64_t>(file.size()));
    return file;
  };
  const auto decodeAs = [&](FileType type, const std::string& name, std::vector<std::int32_t>* rows = nullptr) {
    test::ScopedProgress progress([rows](std::int32_t row, std::int32_t) {
      if (rows != nullptr) rows->push_back(row);
      return true;
    });
    std::unique_ptr<ImageStream> stream = openForReading(dir.file(name));
    std::int32_t width = 0, height = 0;
    PixelBlock pixels = decodeStream(*stream, type, width, height);
    EXPECT_EQ(lastError(), ImageError::None);
    closeStream(std::move(stream));
    return pixels ? Bytes(pixels.get(), pixels.get() + 3 * width * height) : Bytes();
  };
  const Bytes original(picture.begin(), picture.end());

  // The codecs report progress through the dispatch as the outermost operation.
  std::vector<std::int32_t> rows;
  encodeAs(FileTypeBmp, "a.bmp");
  EXPECT_EQ(decodeAs(FileTypeBmp, "a.bmp", &rows), original);
  EXPECT_EQ(rows, (std::vector<std::int32_t>{0, 1, 2, 3}));

  encodeAs(FileTypeTiff, "a.tif");
  rows.clear();
  EXPECT_EQ(decodeAs(FileTypeTiff, "a.tif", &rows), original);
  EXPECT_EQ(rows, (std::vector<std::int32_t>{0, 1, 2, 3}));

  // JPEG goes out progressive at quality 100, whose quantisation tables are all ones.
  const Bytes jpeg = encodeAs(FileTypeJpeg, "a.jpg");
  bool progressive = false;
  int tables = 0;
  for (std::size_t i = 2; i + 4 <= jpeg.size() && jpeg[i] == 0xFF;) {
    const std::uint8_t marker = jpeg[i + 1];
    const std::size_t length = jpeg[i + 2] << 8 | jpeg[i + 3];
    if (marker == 0xC2) progressive = true;
    if (marker == 0xDB) {
      for (std::size_t t = i + 4; t + 65 <= i + 2 + length; t += 65, ++tables) {
        EXPECT_EQ(jpeg[t] >> 4, 0) << "8-bit table";
        EXPECT_EQ(Bytes(jpeg.begin() + t + 1, jpeg.begin() + t + 65), Bytes(64, 1));
      }
    }
    if (marker == 0xDA) break;
    i += 2 + length;
  }
  EXPECT_TRUE(progressive);
  EXPECT_EQ(tables, 2);
  EXPECT_EQ(decodeAs(FileTypeJpeg, "a.jpg").size(), original.size());
}

}  // namespace
}  // namespace kelmira

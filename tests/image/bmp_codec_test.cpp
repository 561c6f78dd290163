#include "image/bmp_codec.h"

#include <gtest/gtest.h>

#include <vector>

#include "codec_test_helpers.h"

namespace kelmira {
namespace {

using test::Bytes;

struct BmpLayout {
  std::int32_t width;
  std::int32_t height;
  std::uint32_t bits;
  std::uint32_t compression = 0;
  std::uint32_t coloursUsed = 0;
  Bytes colourTable{};  // 4 bytes an entry: blue, green, red, reserved
};

// A bitmap file built field by field: headers, colour table, then the pixel data.
Bytes bmpFile(const BmpLayout& layout, const Bytes& pixelData) {
  const auto offset = static_cast<std::uint32_t>(54 + layout.colourTable.size());
  Bytes file{'B', 'M'};
  test::putU32(file, offset + static_cast<std::uint32_t>(pixelData.size()));
  test::putU32(file, 0);
  test::putU32(file, offset);
  test::putU32(file, 40);
  test::putU32(file, static_cast<std::uint32_t>(layout.width));
  test::putU32(file, static_cast<std::uint32_t>(layout.height));
  test::putU16(file, 1);
  test::putU16(file, layout.bits);
  test::putU32(file, layout.compression);
  test::putU32(file, static_cast<std::uint32_t>(pixelData.size()));
  test::putU32(file, 0);
  test::putU32(file, 0);
  test::putU32(file, layout.coloursUsed);
  test::putU32(file, 0);
  file.insert(file.end(), layout.colourTable.begin(), layout.colourTable.end());
  file.insert(file.end(), pixelData.begin(), pixelData.end());
  return file;
}

// Entry i is red 10 i + 1, green 10 i + 2, blue 10 i + 3.
Bytes numberedTable(int entries) {
  Bytes table;
  for (int i = 0; i < entries; ++i) {
    for (int c = 3; c >= 0; --c) table.push_back(c == 0 ? 0 : static_cast<std::uint8_t>(10 * i + c));
  }
  return table;
}

// The pixel bytes of numbered entries (-1 for black).
Bytes numberedPixels(std::initializer_list<int> indices) {
  Bytes pixels;
  for (int i : indices) {
    for (int c = 1; c <= 3; ++c) pixels.push_back(i < 0 ? 0 : static_cast<std::uint8_t>(10 * i + c));
  }
  return pixels;
}

TEST(ReadBmp, TrueColourDepthsAndRowOrder) {
  test::TempDir dir;
  // 3 x 2, each row blue-green-red and padded from 9 to 12 bytes.
  const Bytes topRow{3, 2, 1, 6, 5, 4, 9, 8, 7, 0xEE, 0xEE, 0xEE};
  const Bytes bottomRow{13, 12, 11, 16, 15, 14, 19, 18, 17, 0xEE, 0xEE, 0xEE};
  const auto join = [](Bytes first, const Bytes& second) {
    first.insert(first.end(), second.begin(), second.end());
    return first;
  };
  const Bytes bottomUp = join(bottomRow, topRow);
  const Bytes topDown = join(topRow, bottomRow);
  const Bytes expected{1, 2, 3, 4, 5, 6, 7, 8, 9, 11, 12, 13, 14, 15, 16, 17, 18, 19};

  const test::Decoded up = test::decodeBytes(dir, bmpFile({3, 2, 24}, bottomUp), readBmp);
  const test::Decoded down = test::decodeBytes(dir, bmpFile({3, -2, 24}, topDown), readBmp);
  EXPECT_EQ(up.error, ImageError::None);
  EXPECT_EQ(down.error, ImageError::None);
  EXPECT_EQ(up.width, 3);
  EXPECT_EQ(down.height, 2);
  EXPECT_EQ(up.bytes(), expected);
  EXPECT_EQ(down.bytes(), expected);

  // 16 bits: 5-5-5 with the low three bits filled with ones; the top bit is ignored.
  Bytes sixteen;
  for (std::uint32_t v : {0x7FFFu, 0x0000u, 0x7C00u, 0x83E0u, 0x001Fu}) test::putU16(sixteen, v);
  sixteen.resize(12, 0);
  const test::Decoded d16 = test::decodeBytes(dir, bmpFile({5, 1, 16}, sixteen), readBmp);
  EXPECT_EQ(d16.bytes(), (Bytes{255, 255, 255, 7, 7, 7, 255, 7, 7, 7, 255, 7, 7, 7, 255}));

  const test::Decoded d32 = test::decodeBytes(dir, bmpFile({2, 1, 32}, {30, 20, 10, 99, 3, 2, 1, 99}), readBmp);
  EXPECT_EQ(d32.bytes(), (Bytes{10, 20, 30, 1, 2, 3}));
}

TEST(ReadBmp, PaletteDepthsAndShortColourTables) {
  test::TempDir dir;
  // 1 bit, 10 wide: most significant bit first, two bytes padded to four.
  const test::Decoded d1 =
      test::decodeBytes(dir, bmpFile({10, 1, 1, 0, 0, numberedTable(2)}, {0b10110000, 0b01000000, 0, 0}), readBmp);
  EXPECT_EQ(d1.bytes(), numberedPixels({1, 0, 1, 1, 0, 0, 0, 0, 0, 1}));

  // 4 bits with three colours announced: index 5 has no entry and reads black.
  const test::Decoded d4 =
      test::decodeBytes(dir, bmpFile({3, 1, 4, 0, 3, numberedTable(3)}, {0x21, 0x50, 0, 0}), readBmp);
  EXPECT_EQ(d4.bytes(), numberedPixels({2, 1, -1}));

  // 8 bits announcing 256 colours in a file that ends after the pixel data, which sits
  // right after entry 1: entry 2 is read from the pixel bytes, the rest is missing.
  const test::Decoded d8 =
      test::decodeBytes(dir, bmpFile({4, 1, 8, 0, 256, numberedTable(2)}, {1, 0, 2, 3}), readBmp);
  EXPECT_EQ(d8.error, ImageError::None);
  EXPECT_EQ(d8.bytes(), (Bytes{11, 12, 13, 1, 2, 3, 2, 0, 1, 0, 0, 0}));

  // A colours-used count far beyond 256 still fits the table.
  const test::Decoded many =
      test::decodeBytes(dir, bmpFile({2, 1, 8, 0, 0xFFFFFFFF, numberedTable(256)}, {255, 7, 0, 0}), readBmp);
  EXPECT_EQ(many.bytes(), numberedPixels({255, 7}));

  // A version 5 header (124 bytes): the colour table follows the whole header.
  Bytes v5 = bmpFile({3, 1, 8, 0, 3, numberedTable(3)}, {2, 0, 1, 0});
  v5.insert(v5.begin() + 54, 84, 0xEE);
  v5[14] = 124;
  v5[10] = static_cast<std::uint8_t>(v5[10] + 84);
  EXPECT_EQ(test::decodeBytes(dir, v5, readBmp).bytes(), numberedPixels({2, 0, 1}));
}

TEST(ReadBmp, RunLengthEncodedFiles) {
  test::TempDir dir;
  // RLE8, 4 x 3, filled from the bottom row up.
  const Bytes rle8{
      3, 5, 2, 6,           // bottom row: 5 5 5 6, the last 6 clipped at the edge
      0, 0,                 // next row
      0, 3, 1, 2, 3, 0,     // literal 1 2 3, padded to an even length
      0, 0,                 //
      0, 2, 2, 0,           // top row: move right by two
      1, 4,                 //
      0, 2, 0, 1, 9, 9,     // up past the top: dropped
      0, 0, 200, 7, 0, 1};  // more dropped rows, then the end
  const test::Decoded d8 = test::decodeBytes(dir, bmpFile({4, 3, 8, 1, 0, numberedTable(10)}, rle8), readBmp);
  EXPECT_EQ(d8.error, ImageError::None);
  EXPECT_EQ(d8.bytes(), numberedPixels({-1, -1, 4, -1, 1, 2, 3, -1, 5, 5, 5, 6}));

  // RLE4, 5 x 2: runs alternate nibbles, literals take five nibbles padded to four bytes.
  const Bytes rle4{5, 0x12, 0, 0, 0, 5, 0x34, 0x56, 0x70, 0, 1, 0x11, 0, 1};
  const test::Decoded d4 = test::decodeBytes(dir, bmpFile({5, 2, 4, 2, 0, numberedTable(8)}, rle4), readBmp);
  EXPECT_EQ(d4.error, ImageError::None);
  EXPECT_EQ(d4.bytes(), numberedPixels({3, 4, 5, 6, 7, 1, 2, 1, 2, 1}));

  // Cut inside a literal: what was painted stays, with a read error.
  const test::Decoded cut = test::decodeBytes(dir, bmpFile({4, 2, 8, 1, 0, numberedTable(10)}, {2, 7, 0, 0, 0, 4, 1}), readBmp);
  EXPECT_EQ(cut.error, ImageError::FileRead);
  EXPECT_EQ(cut.bytes(), numberedPixels({-1, -1, -1, -1, 7, 7, -1, -1}));

  // RLE8 compression on a 4-bit file is not a combination the format has.
  EXPECT_EQ(test::decodeBytes(dir, bmpFile({4, 2, 4, 1}, {0, 1}), readBmp).error, ImageError::BadBmp);
}

TEST(ReadBmp, BrokenHeadersAndTruncatedRows) {
  test::TempDir dir;
  const Bytes header = bmpFile({2, 2, 24}, {});
  struct Case {
    Bytes bytes;
    ImageErrorCode error;
  };
  Bytes notBm = bmpFile({2, 2, 24}, Bytes(16, 0));
  notBm[1] = 'A';
  const Case cases[] = {
      {Bytes(header.begin(), header.begin() + 53), ImageError::FileRead},
      {notBm, ImageError::BadBmp},
      {bmpFile({2, 2, 24, 3}, Bytes(16, 0)), ImageError::BadBmp},   // bit fields
      {bmpFile({2, 2, 2}, Bytes(16, 0)), ImageError::BadBmp},       // no such depth
      {bmpFile({0, 2, 24}, Bytes(16, 0)), ImageError::None},        // no picture, no error
      {bmpFile({0x7FFFFFFF, 0x7FFFFFFF, 24}, {}), ImageError::OutOfMemory},
      {bmpFile({40000, 40000, 1}, {}), ImageError::OutOfMemory},
      {bmpFile({1, INT32_MIN, 24}, {}), ImageError::OutOfMemory},
      {bmpFile({1, 0, 24}, {}), ImageError::OutOfMemory},
  };
  for (const Case& c : cases) {
    const test::Decoded d = test::decodeBytes(dir, c.bytes, readBmp);
    EXPECT_EQ(d.error, c.error);
    EXPECT_EQ(d.pixels, nullptr);
    EXPECT_EQ(d.width, 0);
  }

  // One and a half of three rows: the bottom row arrives, the rest stays black.
  const Bytes rows{1, 2, 3, 4, 5, 6, 0, 0, 7, 8};
  const test::Decoded cut = test::decodeBytes(dir, bmpFile({2, 3, 24}, rows), readBmp);
  EXPECT_EQ(cut.error, ImageError::FileRead);
  EXPECT_EQ(cut.height, 3);
  EXPECT_EQ(cut.bytes(), (Bytes{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 3, 2, 1, 6, 5, 4}));
}

TEST(WriteBmp, OnePixelFileByteForByte) {
  test::TempDir dir;
  const std::string path = dir.file("one.bmp");
  const std::uint8_t pixel[3] = {10, 20, 30};
  ImageErrorCode error = static_cast<ImageErrorCode>(-1);
  EXPECT_EQ(test::encodeFile(path, [&](ImageStream& s) { return writeBmp(s, pixel, 1, 1); }, error), 58);
  EXPECT_EQ(error, ImageError::None);
  Bytes expected{'B', 'M'};
  for (std::uint32_t field : {58u, 0u, 54u, 40u, 1u, 1u}) test::putU32(expected, field);
  test::putU16(expected, 1);
  test::putU16(expected, 24);
  for (std::uint32_t field : {0u, 4u, 0u, 0u, 0u, 0u}) test::putU32(expected, field);
  expected.insert(expected.end(), {30, 20, 10, 0});
  EXPECT_EQ(test::readFileBytes(path), expected);

  EXPECT_EQ(test::encodeFile(path, [&](ImageStream& s) { return writeBmp(s, pixel, 0, 1); }, error), 0);
  EXPECT_EQ(error, ImageError::BadParameter);
}

TEST(WriteBmp, RoundTripAndProgress) {
  test::TempDir dir;
  const std::string path = dir.file("pattern.bmp");
  const std::vector<std::uint8_t> picture = test::patternPixels(5, 4);
  ImageErrorCode error = static_cast<ImageErrorCode>(-1);
  const std::int64_t written =
      test::encodeFile(path, [&](ImageStream& s) { return writeBmp(s, picture.data(), 5, 4); }, error);
  EXPECT_EQ(written, 54 + 16 * 4);

  std::vector<std::int32_t> rows;
  {
    test::ScopedProgress progress([&](std::int32_t row, std::int32_t total) {
      EXPECT_EQ(total, 4);
      rows.push_back(row);
      return true;
    });
    EXPECT_EQ(test::decodeFile(path, readBmp).bytes(), Bytes(picture.begin(), picture.end()));
  }
  EXPECT_EQ(rows, (std::vector<std::int32_t>{0, 1, 2, 3}));

  test::ScopedProgress abort([](std::int32_t, std::int32_t) { return false; });
  const test::Decoded aborted = test::decodeFile(path, readBmp);
  EXPECT_EQ(aborted.error, ImageError::Aborted);
  EXPECT_EQ(aborted.bytes(), Bytes(picture.size(), 0));
  EXPECT_EQ(test::encodeFile(path, [&](ImageStream& s) { return writeBmp(s, picture.data(), 5, 4); }, error), 0);
  EXPECT_EQ(error, ImageError::Aborted);
}

}  // namespace
}  // namespace kelmira

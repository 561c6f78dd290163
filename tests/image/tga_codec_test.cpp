#include "image/tga_codec.h"

#include <gtest/gtest.h>

#include <vector>

#include "codec_test_helpers.h"
#include "image_file_builders.h"
#include "progress_recorder.h"

namespace kelmira {
namespace {

using test::Bytes;
using test::TgaHeader;

constexpr std::uint8_t kTopFirst = 0x20;

TgaHeader tgaHeader(std::uint8_t type, std::uint16_t width, std::uint16_t height, std::uint8_t depth,
                    std::uint8_t descriptor = 0) {
  TgaHeader h;
  h.type = type;
  h.width = width;
  h.height = height;
  h.depth = depth;
  h.descriptor = descriptor;
  return h;
}

TgaHeader withColourMap(TgaHeader h, std::uint16_t first, std::uint16_t length, std::uint8_t entryDepth) {
  h.mapType = 1;
  h.mapFirst = first;
  h.mapLength = length;
  h.mapDepth = entryDepth;
  return h;
}

Bytes join(std::initializer_list<Bytes> parts) { return test::joinBytes(parts); }

Bytes littleEndian16(std::initializer_list<std::uint32_t> values) {
  Bytes out;
  for (std::uint32_t v : values) test::putU16(out, v);
  return out;
}

// Rows of blue-green-red pixels in the order given.
Bytes bgrRows(const Bytes& rgbTopFirst, int width, bool bottomFirst, int extra = 0) {
  const std::size_t stride = 3 * static_cast<std::size_t>(width);
  const std::size_t rows = rgbTopFirst.size() / stride;
  Bytes out;
  for (std::size_t i = 0; i < rows; ++i) {
    const std::size_t r = bottomFirst ? rows - 1 - i : i;
    for (std::size_t x = 0; x < static_cast<std::size_t>(width); ++x) {
      const std::uint8_t* p = &rgbTopFirst[r * stride + 3 * x];
      out.insert(out.end(), {p[2], p[1], p[0]});
      out.insert(out.end(), static_cast<std::size_t>(extra), 0xEE);
    }
  }
  return out;
}

TEST(ReadTga, TrueColourDepthsAndBothRowOrders) {
  test::TempDir dir;
  const Bytes picture = test::patternPixels(4, 3, 9);
  for (std::uint8_t depth : {24, 32}) {
    const int extra = depth == 32 ? 1 : 0;
    const test::Decoded up = test::decodeBytes(
        dir, test::tgaFile(tgaHeader(2, 4, 3, depth), bgrRows(picture, 4, true, extra)), readTga);
    const test::Decoded down = test::decodeBytes(
        dir, test::tgaFile(tgaHeader(2, 4, 3, depth, kTopFirst), bgrRows(picture, 4, false, extra)), readTga);
    EXPECT_EQ(up.error, ImageError::None);
    EXPECT_EQ(up.width, 4);
    EXPECT_EQ(up.height, 3);
    EXPECT_EQ(up.bytes(), picture) << int{depth};
    EXPECT_EQ(down.bytes(), picture) << int{depth};
  }

  // 15 and 16 bits: 5-5-5 channels times 8; the top bit means nothing.
  const Bytes fives = littleEndian16({0x7FFF, 0x0000, 0x7C00, 0x83E0, 0x001F, 0x4210});
  const Bytes expected{248, 248, 248, 0, 0, 0, 248, 0, 0, 0, 248, 0, 0, 0, 248, 128, 128, 128};
  for (std::uint8_t depth : {15, 16}) {
    const test::Decoded d = test::decodeBytes(dir, test::tgaFile(tgaHeader(2, 6, 1, depth), fives), readTga);
    EXPECT_EQ(d.error, ImageError::None);
    EXPECT_EQ(d.bytes(), expected) << int{depth};
  }

  // Grey, with an identification field to skip.
  TgaHeader grey = tgaHeader(3, 3, 1, 8);
  grey.idLength = 5;
  EXPECT_EQ(test::decodeBytes(dir, test::tgaFile(grey, {'n', 'a', 'm', 'e', '!', 0, 128, 255}), readTga).bytes(),
            (Bytes{0, 0, 0, 128, 128, 128, 255, 255, 255}));
}

TEST(ReadTga, ColourMapsReachOnlyTheirEntries) {
  test::TempDir dir;
  // Entries 2, 3 and 4 of 24 bits (blue, green, red); 0, 1 and 5 up are black.
  const Bytes map24{3, 2, 1, 6, 5, 4, 9, 8, 7};
  const test::Decoded d8 = test::decodeBytes(
      dir, test::tgaFile(withColourMap(tgaHeader(1, 6, 1, 8), 2, 3, 24), join({map24, {0, 1, 2, 3, 4, 5}})), readTga);
  EXPECT_EQ(d8.error, ImageError::None);
  EXPECT_EQ(d8.bytes(), (Bytes{0, 0, 0, 0, 0, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 0, 0, 0}));

  // 16-bit indices above 255 have no entry; 15-bit entries are 5-5-5.
  const Bytes map15 = littleEndian16({0x7C00, 0x03E0});
  const test::Decoded d16 = test::decodeBytes(
      dir,
      test::tgaFile(withColourMap(tgaHeader(1, 4, 1, 16), 0, 2, 15), join({map15, littleEndian16({1, 0, 256, 0xFFFF})})),
      readTga);
  EXPECT_EQ(d16.error, ImageError::None);
  EXPECT_EQ(d16.bytes(), (Bytes{0, 248, 0, 248, 0, 0, 0, 0, 0, 0, 0, 0}));

  // A map that runs past entry 255 is read to its end; entries past the table drop.
  const Bytes map32{0, 10, 20, 99, 1, 10, 20, 99, 2, 10, 20, 99, 3, 10, 20, 99};
  const test::Decoded past = test::decodeBytes(
      dir, test::tgaFile(withColourMap(tgaHeader(1, 3, 1, 8), 254, 4, 32), join({map32, {254, 255, 0}})), readTga);
  EXPECT_EQ(past.error, ImageError::None);
  EXPECT_EQ(past.bytes(), (Bytes{20, 10, 0, 20, 10, 1, 0, 0, 0}));

  // A true-colour file may carry a map; it is skipped, not used.
  const test::Decoded direct = test::decodeBytes(
      dir, test::tgaFile(withColourMap(tgaHeader(2, 1, 1, 24), 0, 3, 24), join({map24, {30, 20, 10}})), readTga);
  EXPECT_EQ(direct.bytes(), (Bytes{10, 20, 30}));

  // An empty map needs no entry size.
  EXPECT_EQ(test::decodeBytes(dir, test::tgaFile(withColourMap(tgaHeader(2, 1, 1, 24), 0, 0, 0), {3, 2, 1}), readTga)
                .bytes(),
            (Bytes{1, 2, 3}));

  // A colour-mapped type without a map reads its values as grey.
  EXPECT_EQ(test::decodeBytes(dir, test::tgaFile(tgaHeader(1, 2, 1, 8), {7, 200}), readTga).bytes(),
            (Bytes{7, 7, 7, 200, 200, 200}));
}

TEST(ReadTga, RunLengthPacketsCrossRowEnds) {
  test::TempDir dir;
  // 3 x 2 true colour, bottom row first: a run of 4 covers the bottom row and one pixel
  // of the top row, then 2 literal pixels finish it.
  const Bytes packets{0x83, 0, 0, 200, 0x01, 1, 2, 3, 4, 5, 6};
  const Bytes expected{200, 0, 0, 3, 2, 1, 6, 5, 4,  //
                       200, 0, 0, 200, 0, 0, 200, 0, 0};
  const test::Decoded d = test::decodeBytes(dir, test::tgaFile(tgaHeader(10, 3, 2, 24), packets), readTga);
  EXPECT_EQ(d.error, ImageError::None);
  EXPECT_EQ(d.bytes(), expected);

  // The same picture top row first, packed differently.
  const Bytes topFirst{0x00, 0, 0, 200, 0x01, 1, 2, 3, 4, 5, 6, 0x82, 0, 0, 200};
  EXPECT_EQ(test::decodeBytes(dir, test::tgaFile(tgaHeader(10, 3, 2, 24, kTopFirst), topFirst), readTga).bytes(),
            expected);

  // Run-length grey and colour-mapped files; a packet longer than the picture stops at its end.
  EXPECT_EQ(test::decodeBytes(dir, test::tgaFile(tgaHeader(11, 2, 2, 8), {0xFF, 77}), readTga).bytes(), Bytes(12, 77));
  const test::Decoded mapped = test::decodeBytes(
      dir, test::tgaFile(withColourMap(tgaHeader(9, 4, 1, 8), 0, 2, 24), {3, 2, 1, 6, 5, 4, 0x81, 1, 0x01, 0, 9}),
      readTga);
  EXPECT_EQ(mapped.bytes(), (Bytes{4, 5, 6, 4, 5, 6, 1, 2, 3, 0, 0, 0}));
  // Type 11 with a map looks its values up too.
  EXPECT_EQ(test::decodeBytes(dir, test::tgaFile(withColourMap(tgaHeader(11, 1, 1, 8), 0, 1, 24), {3, 2, 1, 0, 0}),
                              readTga)
                .bytes(),
            (Bytes{1, 2, 3}));
}

TEST(ReadTga, BadFilesGiveNoBlock) {
  test::TempDir dir;
  const Bytes pixels(3 * 2 * 2, 50);
  const std::pair<const char*, Bytes> bad[] = {
      {"type 0", test::tgaFile(tgaHeader(0, 2, 2, 24), pixels)},
      {"type 4", test::tgaFile(tgaHeader(4, 2, 2, 24), pixels)},
      {"type 32", test::tgaFile(tgaHeader(32, 2, 2, 24), pixels)},
      {"depth 7", test::tgaFile(tgaHeader(2, 2, 2, 7), pixels)},
      {"depth 12", test::tgaFile(tgaHeader(2, 2, 2, 12), pixels)},
      {"depth 33", test::tgaFile(tgaHeader(2, 2, 2, 33), pixels)},
      {"map entries of 12 bits", test::tgaFile(withColourMap(tgaHeader(1, 2, 2, 8), 0, 1, 12), pixels)},
      {"no width", test::tgaFile(tgaHeader(2, 0, 2, 24), pixels)},
      {"no height", test::tgaFile(tgaHeader(2, 2, 0, 24), pixels)},
  };
  for (const auto& [name, bytes] : bad) {
    const test::Decoded d = test::decodeBytes(dir, bytes, readTga);
    EXPECT_EQ(d.error, ImageError::BadTga) << name;
    EXPECT_EQ(d.pixels, nullptr) << name;
  }

  const Bytes whole = test::tgaFile(tgaHeader(2, 2, 2, 24), pixels);
  TgaHeader named = tgaHeader(2, 2, 2, 24);
  named.idLength = 40;
  const std::pair<const char*, Bytes> cut[] = {
      {"header", Bytes(whole.begin(), whole.begin() + 17)},
      {"identification", test::tgaFile(named, Bytes(20, 0))},
      {"colour map", test::tgaFile(withColourMap(tgaHeader(1, 2, 2, 8), 0, 10, 24), Bytes(29, 1))},
      {"last row", Bytes(whole.begin(), whole.end() - 1)},
      {"run packet", test::tgaFile(tgaHeader(10, 2, 2, 24), {0x83, 1, 2})},
      {"literal packet", test::tgaFile(tgaHeader(10, 2, 2, 24), {0x81, 1, 2, 3, 0x01, 4, 5, 6})},
  };
  for (const auto& [name, bytes] : cut) {
    const test::Decoded d = test::decodeBytes(dir, bytes, readTga);
    EXPECT_EQ(d.error, ImageError::FileRead) << name;
    EXPECT_EQ(d.pixels, nullptr) << name;
    EXPECT_EQ(d.width, 0) << name;
  }

  const test::Decoded huge = test::decodeBytes(dir, test::tgaFile(tgaHeader(2, 65535, 65535, 24), pixels), readTga);
  EXPECT_EQ(huge.error, ImageError::OutOfMemory);
  EXPECT_EQ(huge.pixels, nullptr);
}

TEST(ReadTga, ProgressPerRowAndAbortFreesTheBlock) {
  test::TempDir dir;
  const Bytes picture = test::patternPixels(2, 5);
  const Bytes file = test::tgaFile(tgaHeader(2, 2, 5, 24), bgrRows(picture, 2, true));
  {
    test::ProgressRecorder progress;
    EXPECT_EQ(test::decodeBytes(dir, file, readTga).bytes(), picture);
    EXPECT_EQ(progress.calls, test::rowRun(5));
  }
  test::ProgressRecorder abort(3);
  const test::Decoded aborted = test::decodeBytes(dir, file, readTga);
  EXPECT_EQ(aborted.error, ImageError::Aborted);
  EXPECT_EQ(aborted.pixels, nullptr);
  EXPECT_EQ(abort.calls.size(), 4u);
}

}  // namespace
}  // namespace kelmira

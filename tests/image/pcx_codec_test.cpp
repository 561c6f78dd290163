#include "image/pcx_codec.h"

#include <gtest/gtest.h>

#include <vector>

#include "codec_test_helpers.h"
#include "image_file_builders.h"
#include "progress_recorder.h"

namespace kelmira {
namespace {

using test::Bytes;
using test::PcxHeader;

PcxHeader pcxHeader(std::uint8_t bits, std::uint16_t xmax, std::uint16_t ymax, std::uint8_t planes,
                    std::uint16_t bytesPerLine) {
  PcxHeader h;
  h.bits = bits;
  h.xmax = xmax;
  h.ymax = ymax;
  h.planes = planes;
  h.bytesPerLine = bytesPerLine;
  return h;
}

Bytes join(std::initializer_list<Bytes> parts) { return test::joinBytes(parts); }

// Entry i of a table is red i, green 2 i, blue 255 - i.
Bytes tailPalette() {
  Bytes table{0x0C};
  for (int i = 0; i < 256; ++i) {
    table.insert(table.end(), {static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(2 * i),
                               static_cast<std::uint8_t>(255 - i)});
  }
  return table;
}

Bytes tableColour(int i) {
  return {static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(2 * i), static_cast<std::uint8_t>(255 - i)};
}

Bytes greys(std::initializer_list<int> levels) {
  Bytes out;
  for (int v : levels) out.insert(out.end(), 3, static_cast<std::uint8_t>(v));
  return out;
}

TEST(ReadPcx, TwentyFourBitPlanesAndRuns) {
  test::TempDir dir;
  // 3 x 2, lines of 4 bytes a plane: red plane, green plane, blue plane.
  const PcxHeader header = pcxHeader(8, 2, 1, 3, 4);
  const Bytes lines{
      0xC3, 10, 0,           // red 10 10 10, pad
      20, 21, 22, 0,         // green
      0xC1, 0xC5, 30, 31, 0, // blue: a run of one 0xC5, then plain bytes
      0xC4, 1,               // second line: red 1 1 1 and the pad
      0xC0, 99,              // an empty run paints nothing
      0xC8, 2,               // green and blue 2: one run over both planes
  };
  const test::Decoded d = test::decodeBytes(dir, test::pcxFile(header, lines), readPcx);
  EXPECT_EQ(d.error, ImageError::None);
  EXPECT_EQ(d.width, 3);
  EXPECT_EQ(d.height, 2);
  EXPECT_EQ(d.bytes(), (Bytes{10, 20, 0xC5, 10, 21, 30, 10, 22, 31, 1, 2, 2, 1, 2, 2, 1, 2, 2}));

  // A run that crosses the end of a line is cut there; the next line starts afresh.
  const PcxHeader narrow = pcxHeader(8, 1, 1, 3, 2);
  const Bytes crossing{0xC7, 50, 60, 61, 0xC2, 70, 0xC2, 80};
  const test::Decoded cut = test::decodeBytes(dir, test::pcxFile(narrow, crossing), readPcx);
  EXPECT_EQ(cut.error, ImageError::None);
  EXPECT_EQ(cut.bytes(), (Bytes{50, 50, 50, 50, 50, 50, 60, 70, 80, 61, 70, 80}));
}

TEST(ReadPcx, EightBitColourTableOrGreyRamp) {
  test::TempDir dir;
  const PcxHeader header = pcxHeader(8, 3, 0, 1, 4);
  const Bytes pixels{0, 7, 0xC1, 200, 0xC1, 255};  // 200 and 255 need run codes
  const test::Decoded coloured = test::decodeBytes(dir, test::pcxFile(header, join({pixels, tailPalette()})), readPcx);
  EXPECT_EQ(coloured.error, ImageError::None);
  EXPECT_EQ(coloured.bytes(), join({tableColour(0), tableColour(7), tableColour(200), tableColour(255)}));

  // Without the 0x0C marker before the last 768 bytes the table is a grey ramp.
  Bytes unmarked = test::pcxFile(header, join({pixels, tailPalette()}));
  unmarked[unmarked.size() - 769] = 0x0B;
  EXPECT_EQ(test::decodeBytes(dir, unmarked, readPcx).bytes(), greys({0, 7, 200, 255}));
  // So it is for a file too short to hold a table, and for versions before 5.
  EXPECT_EQ(test::decodeBytes(dir, test::pcxFile(header, pixels), readPcx).bytes(), greys({0, 7, 200, 255}));
  PcxHeader older = header;
  older.version = 3;
  EXPECT_EQ(test::decodeBytes(dir, test::pcxFile(older, join({pixels, tailPalette()})), readPcx).bytes(),
            greys({0, 7, 200, 255}));
}

TEST(ReadPcx, PlanesOfFewBitsIndexTheHeaderPalette) {
  test::TempDir dir;
  Bytes palette;  // entry i: 16 i, 16 i + 1, 16 i + 2
  for (int i = 0; i < 16; ++i) {
    palette.insert(palette.end(), {static_cast<std::uint8_t>(16 * i), static_cast<std::uint8_t>(16 * i + 1),
                                   static_cast<std::uint8_t>(16 * i + 2)});
  }
  const auto entry = [&](int i) { return i < 16 ? Bytes(palette.begin() + 3 * i, palette.begin() + 3 * i + 3) : Bytes(3, 0); };

  // 1 bit, 1 plane, 10 wide: black and white whatever the header palette says.
  PcxHeader mono = pcxHeader(1, 9, 0, 1, 2);
  mono.version = 2;
  mono.palette = palette;
  EXPECT_EQ(test::decodeBytes(dir, test::pcxFile(mono, {0b10110000, 0b01000000}), readPcx).bytes(),
            greys({255, 0, 255, 255, 0, 0, 0, 0, 0, 255}));

  // 4 planes of 1 bit: plane 0 gives the lowest bit of the index.
  PcxHeader ega = pcxHeader(1, 3, 0, 4, 1);
  ega.version = 2;
  ega.palette = palette;
  // Bits of planes 0 to 3: pixel 0 1001 -> 9, pixel 1 0101 -> 10, pixel 2 1101 -> 11, pixel 3 0011 -> 12.
  const Bytes planes{0b10100000, 0b01100000, 0b00010000, 0xC1, 0b11110000};  // 0xF0 needs a run code
  EXPECT_EQ(test::decodeBytes(dir, test::pcxFile(ega, planes), readPcx).bytes(),
            join({entry(9), entry(10), entry(11), entry(12)}));

  // 4 bits in one plane, high nibble first.
  PcxHeader nibbles = pcxHeader(4, 2, 0, 1, 2);
  nibbles.version = 3;
  nibbles.palette = palette;
  EXPECT_EQ(test::decodeBytes(dir, test::pcxFile(nibbles, {0x3F, 0x70}), readPcx).bytes(),
            join({entry(3), entry(15), entry(7)}));

  // 2 bits in 3 planes make 6-bit indices; the header holds 16 colours, the rest are black.
  PcxHeader six = pcxHeader(2, 1, 0, 3, 1);
  six.palette = palette;
  // pixel 0: 01, 01, 00 -> 5; pixel 1: 11, 00, 10 -> 3 + 32 = 35
  EXPECT_EQ(test::decodeBytes(dir, test::pcxFile(six, {0b01110000, 0b01000000, 0b00100000}), readPcx).bytes(),
            join({entry(5), entry(35)}));
}

TEST(ReadPcx, BadHeadersGiveCode22) {
  test::TempDir dir;
  const PcxHeader good = pcxHeader(8, 1, 1, 3, 2);
  const Bytes data(12, 1);
  const auto with = [&](auto change) {
    PcxHeader h = good;
    change(h);
    return test::pcxFile(h, data);
  };
  Bytes notPcx = test::pcxFile(good, data);
  notPcx[0] = 0x0B;
  notPcx[1] = 0x0A;  // from byte 1 on, the good header with its last byte cut off
  const std::pair<const char*, Bytes> cases[] = {
      {"short header", Bytes(notPcx.begin() + 1, notPcx.begin() + 128)},
      {"first byte", notPcx},
      {"version 1", with([](PcxHeader& h) { h.version = 1; })},
      {"version 4", with([](PcxHeader& h) { h.version = 4; })},
      {"2 planes of 8 bits", with([](PcxHeader& h) { h.planes = 2; })},
      {"4 planes of 8 bits", with([](PcxHeader& h) { h.planes = 4; })},
      {"3 planes of 4 bits", with([](PcxHeader& h) { h.bits = 4; })},
      {"no planes", with([](PcxHeader& h) { h.planes = 0; })},
      {"3 bits", with([](PcxHeader& h) { h.bits = 3, h.planes = 1; })},
      {"xmax before xmin", with([](PcxHeader& h) { h.xmin = 5, h.xmax = 3; })},
      {"ymax before ymin", with([](PcxHeader& h) { h.ymin = 1, h.ymax = 0; })},
      {"lines shorter than the width", with([](PcxHeader& h) { h.bytesPerLine = 1; })},
  };
  for (const auto& [name, bytes] : cases) {
    const test::Decoded d = test::decodeBytes(dir, bytes, readPcx);
    EXPECT_EQ(d.error, ImageError::BadPcx) << name;
    EXPECT_EQ(d.pixels, nullptr) << name;
    EXPECT_EQ(d.width, 0) << name;
  }
  // An offset window decodes like one at the origin.
  const test::Decoded offset = test::decodeBytes(dir, with([](PcxHeader& h) { h.xmin = 100, h.xmax = 101, h.ymin = 7, h.ymax = 8; }), readPcx);
  EXPECT_EQ(offset.error, ImageError::None);
  EXPECT_EQ(offset.bytes(), Bytes(12, 1));

  const test::Decoded huge =
      test::decodeBytes(dir, with([](PcxHeader& h) { h.xmax = 65534, h.ymax = 65535, h.bytesPerLine = 65535; }), readPcx);
  EXPECT_EQ(huge.error, ImageError::OutOfMemory);
  EXPECT_EQ(huge.pixels, nullptr);
}

TEST(ReadPcx, CutFilesKeepTheLinesDecodedAndProgressFollowsLines) {
  test::TempDir dir;
  const PcxHeader header = pcxHeader(8, 1, 2, 1, 2);
  const Bytes full{0xC2, 9, 8, 8, 0xC2, 7};
  {
    test::ProgressRecorder progress;
    const test::Decoded d = test::decodeBytes(dir, test::pcxFile(header, full), readPcx);
    EXPECT_EQ(d.bytes(), greys({9, 9, 8, 8, 7, 7}));
    EXPECT_EQ(progress.calls, test::rowRun(3));
  }
  // Cut inside the second line, and between a run's count and its value.
  for (const Bytes& cut : {Bytes{0xC2, 9, 8}, Bytes{0xC2, 9, 0xC2}}) {
    const test::Decoded d = test::decodeBytes(dir, test::pcxFile(header, cut), readPcx);
    EXPECT_EQ(d.error, ImageError::FileRead);
    EXPECT_EQ(d.height, 3);
    EXPECT_EQ(d.bytes(), greys({9, 9, 0, 0, 0, 0}));
  }
  // The callback is asked after each line, so an abort keeps the line just decoded.
  test::ProgressRecorder abort(1);
  const test::Decoded aborted = test::decodeBytes(dir, test::pcxFile(header, full), readPcx);
  EXPECT_EQ(aborted.error, ImageError::Aborted);
  EXPECT_EQ(aborted.bytes(), greys({9, 9, 8, 8, 0, 0}));
}

TEST(ReadPcx, RunLengthRoundTrip) {
  test::TempDir dir;
  // A picture with long runs and bytes of 0xC0 and above, which need a run code.
  const int width = 150;
  const int height = 4;
  const PcxHeader header = pcxHeader(8, width - 1, height - 1, 3, width);
  Bytes data;
  Bytes expected;
  for (int y = 0; y < height; ++y) {
    Bytes line;
    for (int k = 0; k < 3; ++k) {
      for (int x = 0; x < width; ++x) line.push_back(static_cast<std::uint8_t>(x < 100 ? 0xC0 + y + k : x * 7 + k));
    }
    const Bytes packed = test::pcxRunLength(line);
    data.insert(data.end(), packed.begin(), packed.end());
    for (int x = 0; x < width; ++x) {
      for (int k = 0; k < 3; ++k) expected.push_back(line[k * width + x]);
    }
  }
  const test::Decoded d = test::decodeBytes(dir, test::pcxFile(header, data), readPcx);
  EXPECT_EQ(d.error, ImageError::None);
  EXPECT_EQ(d.bytes(), expected);
}

}  // namespace
}  // namespace kelmira

#include "image/png_codec.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "codec_test_helpers.h"
#include "image_file_builders.h"
#include "progress_recorder.h"

namespace kelmira {
namespace {

using test::Bytes;
using test::PngPicture;

test::Decoded decodePng(const test::TempDir& dir, const PngPicture& picture) {
  const Bytes file = test::encodePng(picture);
  EXPECT_FALSE(file.empty()) << "libpng refused the test picture";
  return test::decodeBytes(dir, file, readPng);
}

std::vector<std::uint32_t> samplesOf(const Bytes& bytes) { return {bytes.begin(), bytes.end()}; }

png_color_16 grey16(std::uint16_t grey) {
  png_color_16 c{};
  c.gray = grey;
  return c;
}

png_color_16 rgb16(std::uint16_t red, std::uint16_t green, std::uint16_t blue) {
  png_color_16 c{};
  c.red = red;
  c.green = green;
  c.blue = blue;
  return c;
}

TEST(ReadPng, ColourAndGreyDepthsComeOutAsStored) {
  test::TempDir dir;
  const Bytes picture = test::patternPixels(5, 3);
  PngPicture rgb = test::pngPicture(5, 3, PNG_COLOR_TYPE_RGB, 8, samplesOf(picture));
  const test::Decoded plain = decodePng(dir, rgb);
  EXPECT_EQ(plain.error, ImageError::None);
  EXPECT_EQ(plain.width, 5);
  EXPECT_EQ(plain.height, 3);
  EXPECT_EQ(plain.bytes(), picture);

  // 16-bit samples keep their high byte.
  PngPicture deep = test::pngPicture(2, 1, PNG_COLOR_TYPE_RGB, 16, {0x12FF, 0x3400, 0xFF01, 0x0080, 0x7F7F, 0x0001});
  EXPECT_EQ(decodePng(dir, deep).bytes(), (Bytes{0x12, 0x34, 0xFF, 0x00, 0x7F, 0x00}));

  // Grey of every depth spreads over the full range and fills all three channels.
  struct GreyCase {
    int depth;
    std::vector<std::uint32_t> samples;
    Bytes levels;
  };
  const GreyCase greys[] = {
      {1, {0, 1, 1, 0, 1}, {0, 255, 255, 0, 255}},
      {2, {0, 1, 2, 3, 2}, {0, 85, 170, 255, 170}},
      {4, {0, 1, 7, 15, 10}, {0, 17, 119, 255, 170}},
      {8, {0, 9, 128, 254, 255}, {0, 9, 128, 254, 255}},
      {16, {0x0000, 0x09FF, 0x8000, 0xFE01, 0xFFFF}, {0, 9, 128, 254, 255}},
  };
  for (const GreyCase& g : greys) {
    const test::Decoded d = decodePng(dir, test::pngPicture(5, 1, PNG_COLOR_TYPE_GRAY, g.depth, g.samples));
    EXPECT_EQ(d.error, ImageError::None) << g.depth;
    Bytes expected;
    for (std::uint8_t level : g.levels) expected.insert(expected.end(), {level, level, level});
    EXPECT_EQ(d.bytes(), expected) << g.depth << "-bit grey";
  }
}

TEST(ReadPng, PalettesOfEveryDepthDecodeToTheirColours) {
  test::TempDir dir;
  const std::vector<png_color> palette{{10, 20, 30}, {40, 50, 60}, {70, 80, 90}, {250, 1, 2}};
  for (int depth : {1, 2, 4, 8}) {
    const std::uint32_t top = depth == 1 ? 1 : 3;
    PngPicture indexed = test::pngPicture(4, 2, PNG_COLOR_TYPE_PALETTE, depth, {0, top, 1, 0, top, 0, 0, 1});
    indexed.palette.assign(palette.begin(), palette.begin() + std::min<std::size_t>(palette.size(), std::size_t{1} << depth));
    const test::Decoded d = decodePng(dir, indexed);
    EXPECT_EQ(d.error, ImageError::None) << depth;
    const png_color t = palette[top];
    EXPECT_EQ(d.bytes(), (Bytes{10, 20, 30, t.red, t.green, t.blue, 40, 50, 60, 10, 20, 30,  //
                                t.red, t.green, t.blue, 10, 20, 30, 10, 20, 30, 40, 50, 60}))
        << depth << "-bit palette";
  }
}

TEST(ReadPng, AlphaAndTransparencyFlattenAgainstBlackOrTheFilesBackground) {
  test::TempDir dir;
  // Values chosen so that v x a / 255 is a whole number: 200 at alpha 51 gives 40.
  PngPicture greyAlpha = test::pngPicture(3, 1, PNG_COLOR_TYPE_GRAY_ALPHA, 8, {200, 0, 200, 51, 200, 255});
  EXPECT_EQ(decodePng(dir, greyAlpha).bytes(), (Bytes{0, 0, 0, 40, 40, 40, 200, 200, 200}));
  greyAlpha.background = grey16(100);
  // Over grey 100: 40 + 100 x 204 / 255 = 120.
  EXPECT_EQ(decodePng(dir, greyAlpha).bytes(), (Bytes{100, 100, 100, 120, 120, 120, 200, 200, 200}));

  PngPicture rgba = test::pngPicture(2, 1, PNG_COLOR_TYPE_RGB_ALPHA, 8, {255, 200, 100, 0, 255, 200, 51, 255});
  EXPECT_EQ(decodePng(dir, rgba).bytes(), (Bytes{0, 0, 0, 255, 200, 51}));
  rgba.background = rgb16(7, 8, 9);
  EXPECT_EQ(decodePng(dir, rgba).bytes(), (Bytes{7, 8, 9, 255, 200, 51}));

  PngPicture rgba16 =
      test::pngPicture(2, 1, PNG_COLOR_TYPE_RGB_ALPHA, 16, {0xAB00, 0xCD00, 0xEF00, 0, 0xAB00, 0xCD00, 0xEF00, 0xFFFF});
  EXPECT_EQ(decodePng(dir, rgba16).bytes(), (Bytes{0, 0, 0, 0xAB, 0xCD, 0xEF}));
  rgba16.background = rgb16(0x1280, 0x3480, 0x5680);
  EXPECT_EQ(decodePng(dir, rgba16).bytes(), (Bytes{0x12, 0x34, 0x56, 0xAB, 0xCD, 0xEF}));

  // tRNS on a palette: entry 1 is clear, entry 2 half covered (255 x 128 / 255 = 128).
  PngPicture indexed = test::pngPicture(3, 1, PNG_COLOR_TYPE_PALETTE, 8, {0, 1, 2});
  indexed.palette = {{0, 0, 255}, {9, 9, 9}, {255, 255, 0}};
  indexed.paletteAlpha = {255, 0, 128};
  EXPECT_EQ(decodePng(dir, indexed).bytes(), (Bytes{0, 0, 255, 0, 0, 0, 128, 128, 0}));
  // bKGD names palette entry 0; its blue shows 255 x 127 / 255 = 127 through entry 2.
  indexed.background = png_color_16{0, 0, 0, 0, 0};
  EXPECT_EQ(decodePng(dir, indexed).bytes(), (Bytes{0, 0, 255, 0, 0, 255, 128, 128, 127}));

  // tRNS keys of grey and RGB files: matching pixels take the background.
  PngPicture keyedGrey = test::pngPicture(3, 1, PNG_COLOR_TYPE_GRAY, 8, {5, 6, 7});
  keyedGrey.transparent = grey16(6);
  EXPECT_EQ(decodePng(dir, keyedGrey).bytes(), (Bytes{5, 5, 5, 0, 0, 0, 7, 7, 7}));
  PngPicture keyedLowGrey = test::pngPicture(4, 1, PNG_COLOR_TYPE_GRAY, 2, {0, 1, 2, 3});
  keyedLowGrey.transparent = grey16(2);
  keyedLowGrey.background = grey16(1);
  EXPECT_EQ(decodePng(dir, keyedLowGrey).bytes(), (Bytes{0, 0, 0, 85, 85, 85, 85, 85, 85, 255, 255, 255}));
  PngPicture keyedRgb = test::pngPicture(2, 1, PNG_COLOR_TYPE_RGB, 8, {1, 2, 3, 4, 5, 6});
  keyedRgb.transparent = rgb16(4, 5, 6);
  keyedRgb.background = rgb16(50, 60, 70);
  EXPECT_EQ(decodePng(dir, keyedRgb).bytes(), (Bytes{1, 2, 3, 50, 60, 70}));
}

TEST(ReadPng, GammaOfTwoPointTwoOrSrgbLeavesValuesAloneOtherGammasAreCorrected) {
  test::TempDir dir;
  std::vector<std::uint32_t> ramp;
  for (std::uint32_t v = 0; v < 256; ++v) ramp.insert(ramp.end(), {v, v, v});
  Bytes stored(ramp.begin(), ramp.end());
  PngPicture file = test::pngPicture(256, 1, PNG_COLOR_TYPE_RGB, 8, ramp);

  file.gamma = 1 / 2.2;
  EXPECT_EQ(decodePng(dir, file).bytes(), stored);
  file.gamma.reset();
  file.srgb = true;
  EXPECT_EQ(decodePng(dir, file).bytes(), stored);

  // A file encoded for a linear display is brightened for a 2.2 one.
  file.srgb = false;
  file.gamma = 1.0;
  const Bytes corrected = decodePng(dir, file).bytes();
  ASSERT_EQ(corrected.size(), stored.size());
  for (int v = 0; v < 256; ++v) {
    const double expected = 255 * std::pow(v / 255.0, 1 / 2.2);
    EXPECT_NEAR(corrected[3 * v], expected, 1.0) << v;
  }
  EXPECT_EQ(corrected[3 * 255], 255);
  EXPECT_GT(corrected[3 * 64], 130);
}

TEST(ReadPng, InterlacedFilesMatchPlainOnesAndReportEachRowOnce) {
  test::TempDir dir;
  const Bytes picture = test::patternPixels(13, 11, 3);
  PngPicture file = test::pngPicture(13, 11, PNG_COLOR_TYPE_RGB, 8, samplesOf(picture));
  file.interlaced = true;
  {
    test::ProgressRecorder progress;
    const test::Decoded d = decodePng(dir, file);
    EXPECT_EQ(d.error, ImageError::None);
    EXPECT_EQ(d.bytes(), picture);
    EXPECT_EQ(progress.calls, test::rowRun(11));
  }
  PngPicture indexed = test::pngPicture(9, 9, PNG_COLOR_TYPE_PALETTE, 2, {});
  indexed.interlaced = true;
  indexed.palette = {{1, 1, 1}, {2, 2, 2}, {3, 3, 3}, {4, 4, 4}};
  Bytes expected;
  for (std::uint32_t i = 0; i < 81; ++i) {
    indexed.samples.push_back(i * 7 % 4);
    expected.insert(expected.end(), 3, static_cast<std::uint8_t>(i * 7 % 4 + 1));
  }
  EXPECT_EQ(decodePng(dir, indexed).bytes(), expected);

  test::ProgressRecorder plainProgress;
  file.interlaced = false;
  EXPECT_EQ(decodePng(dir, file).bytes(), picture);
  EXPECT_EQ(plainProgress.calls, test::rowRun(11));
}

TEST(ReadPng, AbortFreesTheBlock) {
  test::TempDir dir;
  const Bytes picture = test::patternPixels(4, 4);
  for (int abortAt : {0, 2}) {
    test::ProgressRecorder progress(abortAt);
    const test::Decoded d = decodePng(dir, test::pngPicture(4, 4, PNG_COLOR_TYPE_RGB, 8, samplesOf(picture)));
    EXPECT_EQ(d.error, ImageError::Aborted);
    EXPECT_EQ(d.pixels, nullptr);
    EXPECT_EQ(d.width, 0);
    EXPECT_EQ(progress.calls.size(), static_cast<std::size_t>(abortAt + 1));
  }
}

// A 2 x 2 RGB file put together chunk by chunk: rows filtered with None and Sub.
Bytes handMadeRgb() {
  const Bytes rows{0, 10, 20, 30, 40, 50, 60,  //
                   1, 70, 80, 90, 5, 5, 5};    // Sub: the second pixel adds to the first
  return test::joinBytes({test::pngSignature(), test::pngHeaderChunk(2, 2, 8, 2), test::pngDataChunk(rows),
                          test::pngChunk("IEND", {})});
}

TEST(ReadPng, HandMadeChunksAgreeWithLibpngsWriter) {
  test::TempDir dir;
  const test::Decoded d = test::decodeBytes(dir, handMadeRgb(), readPng);
  EXPECT_EQ(d.error, ImageError::None);
  EXPECT_EQ(d.bytes(), (Bytes{10, 20, 30, 40, 50, 60, 70, 80, 90, 75, 85, 95}));
}

TEST(ReadPng, BrokenFilesGiveCode15AndNoBlock) {
  test::TempDir dir;
  const Bytes good = handMadeRgb();
  const std::size_t idatStart = 8 + 25;
  const auto cut = [&](std::size_t length) { return Bytes(good.begin(), good.begin() + length); };
  const auto flipped = [&](std::size_t at) {
    Bytes bytes = good;
    bytes[at] ^= 0x01;
    return bytes;
  };
  const Bytes rows(14, 0);
  const auto withHeader = [&](std::uint32_t w, std::uint32_t h, std::uint8_t depth, std::uint8_t type) {
    return test::joinBytes({test::pngSignature(), test::pngHeaderChunk(w, h, depth, type), test::pngDataChunk(rows),
                            test::pngChunk("IEND", {})});
  };
  Bytes hugeLength = good;
  hugeLength[idatStart] = 0x7F;  // IDAT claims 2 GB
  const Bytes garbageData = test::joinBytes({test::pngSignature(), test::pngHeaderChunk(2, 2, 8, 2),
                                             test::pngChunk("IDAT", Bytes(20, 0x5A)), test::pngChunk("IEND", {})});
  const Bytes shortData = test::joinBytes({test::pngSignature(), test::pngHeaderChunk(2, 9, 8, 2),
                                           test::pngDataChunk(rows), test::pngChunk("IEND", {})});
  const Bytes noData = test::joinBytes({test::pngSignature(), test::pngHeaderChunk(2, 2, 8, 2), test::pngChunk("IEND", {})});
  const Bytes noPalette = withHeader(2, 2, 8, 3);

  const std::pair<const char*, Bytes> cases[] = {
      {"empty", {}},
      {"not a PNG", Bytes(64, 'x')},
      {"signature only", cut(8)},
      {"inside IHDR", cut(20)},
      {"before IDAT's data", cut(idatStart + 8)},
      {"inside IDAT", cut(idatStart + 14)},
      {"without IEND", cut(good.size() - 12)},
      {"IHDR CRC", flipped(8 + 8 + 3)},
      {"IDAT CRC", flipped(idatStart + 10)},
      {"IDAT length", hugeLength},
      {"not deflate data", garbageData},
      {"rows missing", shortData},
      {"no IDAT", noData},
      {"palette file without PLTE", noPalette},
      {"zero width", withHeader(0, 2, 8, 2)},
      {"width past 2^31", withHeader(0x80000000u, 2, 8, 2)},
      {"RGB of 4 bits", withHeader(2, 2, 4, 2)},
      {"colour type 5", withHeader(2, 2, 8, 5)},
  };
  for (const auto& [name, bytes] : cases) {
    const test::Decoded d = test::decodeBytes(dir, bytes, readPng);
    EXPECT_EQ(d.error, ImageError::BadPng) << name;
    EXPECT_EQ(d.pixels, nullptr) << name;
    EXPECT_EQ(d.width, 0) << name;
  }

  // A header libpng accepts whose block would pass the size limit is refused before
  // any pixel data is read.
  const test::Decoded huge = test::decodeBytes(dir, withHeader(1000000, 1000000, 8, 2), readPng);
  EXPECT_EQ(huge.error, ImageError::OutOfMemory);
  EXPECT_EQ(huge.pixels, nullptr);
}

}  // namespace
}  // namespace kelmira

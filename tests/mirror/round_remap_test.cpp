// The remap against a plain transcription of the unwarp's sampling rule, pixel by pixel, on
// every vector target.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

#include "mirror/round_remap.h"
#include "support/simd_targets.h"
#include "support/test_files.h"

namespace kelmira {
namespace {

// The unwarp's rule for one point: black outside [0, w-1] x [0, h-1]; else the four
// pixels round it (the last column and row repeating), blended and truncated.
void expectedPixel(const std::vector<std::uint8_t>& source, int w, int h, float fx, float fy, std::uint8_t* out) {
  const double x = fx, y = fy;
  if (!(x >= 0 && y >= 0 && x <= w - 1 && y <= h - 1)) {
    out[0] = out[1] = out[2] = 0;
    return;
  }
  const int x0 = static_cast<int>(std::floor(x)), y0 = static_cast<int>(std::floor(y));
  const int x1 = std::min(x0 + 1, w - 1), y1 = std::min(y0 + 1, h - 1);
  const double dx = x - x0, dy = y - y0;
  for (int k = 0; k < 3; ++k) {
    const int a = source[3 * (y0 * w + x0) + k], b = source[3 * (y0 * w + x1) + k];
    const int c = source[3 * (y1 * w + x0) + k], d = source[3 * (y1 * w + x1) + k];
    out[k] = static_cast<std::uint8_t>(static_cast<int>(a + (b - a) * dx + (c - a) * dy + (a - b - c + d) * dx * dy));
  }
}

class RoundRemapOnEachTarget : public test::OnEachSimdTarget {};

TEST_P(RoundRemapOnEachTarget, SamplesEveryPointAsTheUnwarpDoesAndTellsOfEveryRow) {
  const int w = 97, h = 61;
  const std::vector<std::uint8_t> source = test::patternPixels(w, h, 5);
  SourceMap map;
  const std::uint32_t columns = 203, rows = 45;  // bands of rows and runs of columns that do not divide it
  ASSERT_TRUE(map.allocate(columns, rows));
  std::mt19937 random(9);
  std::uniform_real_distribution<float> across(-3, w + 2), down(-3, h + 2);
  const float edges[] = {0, static_cast<float>(w - 1), 0.5f, -0.0001f, std::nextafter(static_cast<float>(w - 1), 0.0f),
                         std::numeric_limits<float>::quiet_NaN()};
  for (std::uint32_t y = 0; y < rows; ++y) {
    for (std::uint32_t x = 0; x < columns; ++x) {
      map.xRow(y)[x] = x % 7 == 0 ? edges[(x / 7 + y) % 6] : across(random);
      map.yRow(y)[x] = y % 5 == 0 ? static_cast<float>(h - 1) : x % 11 == 0 ? edges[(y + x) % 6] : down(random);
    }
  }
  std::vector<std::uint8_t> out(3 * columns * rows, 77);
  std::vector<std::uint32_t> told;
  std::uint32_t finished = 0;
  ASSERT_TRUE(remapRound({source.data(), w, h, 3, 3u * w}, map, {out.data(), columns, rows, 3, 3u * columns},
                         [&](std::uint32_t row, std::uint32_t count) {
                           EXPECT_EQ(count, rows);
                           told.push_back(row);
                         },
                         [&](std::uint32_t rowsDone) {
                           EXPECT_GT(rowsDone, finished);
                           finished = rowsDone;
                         }));
  ASSERT_EQ(told.size(), rows);
  for (std::uint32_t i = 0; i < rows; ++i) EXPECT_EQ(told[i], i);
  EXPECT_EQ(finished, rows);
  int wrong = 0;
  for (std::uint32_t y = 0; y < rows; ++y) {
    for (std::uint32_t x = 0; x < columns; ++x) {
      std::uint8_t expected[3];
      expectedPixel(source, w, h, map.xRow(y)[x], map.yRow(y)[x], expected);
      const std::uint8_t* got = &out[3 * (y * columns + x)];
      if (got[0] != expected[0] || got[1] != expected[1] || got[2] != expected[2]) ++wrong;
    }
  }
  EXPECT_EQ(wrong, 0);
}

KELMIRA_ON_EACH_SIMD_TARGET(RoundRemapOnEachTarget);

TEST(RoundRemap, RefusesViewsThatDoNotFitTheMap) {
  std::vector<std::uint8_t> source(3 * 8 * 8), out(3 * 4 * 4);
  SourceMap map;
  ASSERT_TRUE(map.allocate(4, 4));
  EXPECT_FALSE(remapRound({source.data(), 8, 8, 3, 24}, map, {out.data(), 4, 3, 3, 12}));
  EXPECT_FALSE(remapRound({source.data(), 8, 8, 4, 32}, map, {out.data(), 4, 4, 3, 12}));
  EXPECT_FALSE(remapRound({source.data(), 8, 8, 3, 20}, map, {out.data(), 4, 4, 3, 12}));
  EXPECT_FALSE(remapRound({source.data(), 8, 8, 3, 24}, SourceMap(), {out.data(), 4, 4, 3, 12}));
  EXPECT_FALSE(map.allocate(0, 4));
  EXPECT_TRUE(map.empty());
}

}  // namespace
}  // namespace kelmira

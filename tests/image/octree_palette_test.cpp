#include "image/octree_palette.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

#include "image/layer_state.h"
#include "image/progress_recorder.h"
#include "support/test_files.h"

namespace kelmira {
namespace {

using Pixels = std::vector<std::uint8_t>;
using Table = std::array<std::uint8_t, 1024>;
using Entry = std::array<int, 4>;

// A picture made of count pixels of each (red, green, blue) colour, one row.
Pixels picture(const std::vector<std::pair<std::array<int, 3>, int>>& colours) {
  Pixels out;
  for (const auto& [rgb, count] : colours) {
    for (int i = 0; i < count; ++i) {
      for (int v : rgb) out.push_back(static_cast<std::uint8_t>(v));
    }
  }
  return out;
}

std::vector<Entry> entries(const Table& table) {
  std::vector<Entry> out;
  for (int i = 0; i < 256; ++i) out.push_back({table[4 * i], table[4 * i + 1], table[4 * i + 2], table[4 * i + 3]});
  return out;
}

Table reduced(const Pixels& pixels, int colours) {
  Table table;
  table.fill(0xEE);
  EXPECT_TRUE(reducePalette(pixels.data(), static_cast<int>(pixels.size() / 3), 1, colours, table));
  EXPECT_EQ(lastError(), ImageError::None);
  return table;
}

int usedEntries(const Table& table) {
  const auto all = entries(table);
  return static_cast<int>(std::count_if(all.begin(), all.end(), [](const Entry& e) { return e != Entry{}; }));
}

TEST(OctreePalette, KeepsFewColoursExactly) {
  // Red, green and blue sit under root children 4, 2 and 1; the walk takes 7 down to 0.
  const Table table = reduced(picture({{{0, 0, 255}, 5}, {{255, 0, 0}, 2}, {{0, 255, 0}, 9}}), 256);
  const auto e = entries(table);
  EXPECT_EQ(e[0], (Entry{0, 0, 255, 0}));
  EXPECT_EQ(e[1], (Entry{0, 255, 0, 0}));
  EXPECT_EQ(e[2], (Entry{255, 0, 0, 0}));
  for (int i = 3; i < 256; ++i) ASSERT_EQ(e[i], Entry{}) << i;

  // 8 and 9 share the top five bits: one entry, (17 + 1) / 2 = 9.
  EXPECT_EQ(entries(reduced(picture({{{8, 20, 30}, 1}, {{9, 20, 30}, 1}}), 256))[0], (Entry{30, 20, 9, 0}));
}

TEST(OctreePalette, FoldsSmallestNodesFirst) {
  // A (1 pixel) and B (5) are siblings under one depth-4 node P; C (3) and D (4) sit in
  // other branches of the root. With room for three: A folds into P, which takes its
  // place; C climbs to the root; D climbs after it and is merged there. Left: B, P
  // holding A, and the root holding C and D: (600 + 32 + 3) / 7 = 90, (56 + 3) / 7 = 8,
  // (24 + 800 + 3) / 7 = 118.
  const Pixels p = picture({{{64, 64, 64}, 1}, {{72, 64, 64}, 5}, {{200, 8, 8}, 3}, {{8, 8, 200}, 4}});
  const auto e = entries(reduced(p, 3));
  EXPECT_EQ(e[0], (Entry{64, 64, 72, 0}));
  EXPECT_EQ(e[1], (Entry{64, 64, 64, 0}));
  EXPECT_EQ(e[2], (Entry{118, 8, 90, 0}));
  for (int i = 3; i < 256; ++i) ASSERT_EQ(e[i], Entry{}) << i;
}

TEST(OctreePalette, NeverMoreThanAsked) {
  // No channel below 8, so no true colour averages to an all-zero entry.
  Pixels many = test::patternPixels(64, 64, 9);
  for (auto& v : many) v = std::max<std::uint8_t>(v, 8);
  for (int n : {2, 7, 100, 256}) EXPECT_EQ(usedEntries(reduced(many, n)), n) << n;
  EXPECT_EQ(usedEntries(reduced(many, 1000)), 256);

  // One colour left: the rounded mean of every pixel.
  const Pixels p = picture({{{10, 200, 31}, 3}, {{250, 9, 64}, 2}});
  EXPECT_EQ(entries(reduced(p, 1))[0], (Entry{(93 + 128 + 2) / 5, (618 + 2) / 5, (530 + 2) / 5, 0}));
  EXPECT_EQ(reduced(p, 0), reduced(p, 1));
}

TEST(OctreePalette, ParametersAndProgress) {
  const Pixels p = test::patternPixels(4, 4);
  Table table{};
  EXPECT_FALSE(reducePalette(nullptr, 4, 4, 256, table));
  EXPECT_EQ(lastError(), ImageError::BadParameter);
  EXPECT_FALSE(reducePalette(p.data(), 4, 0, 256, table));
  EXPECT_EQ(lastError(), ImageError::BadParameter);

  {
    test::ProgressRecorder progress;
    EXPECT_TRUE(reducePalette(p.data(), 4, 4, 256, table));
    EXPECT_EQ(progress.calls, test::rowRun(4));
  }
  test::ProgressRecorder abort(0);
  EXPECT_FALSE(reducePalette(p.data(), 4, 4, 256, table));
  EXPECT_EQ(lastError(), ImageError::Aborted);
}

}  // namespace
}  // namespace kelmira

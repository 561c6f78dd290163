#include "image/geometry_ops.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "image/layer_state.h"
#include "image/progress_recorder.h"
#include "support/test_files.h"

namespace kelmira {
namespace {

using Pixels = std::vector<std::uint8_t>;

// Pixels named by one number each, repeated as (n, n + 100, n + 200) so a channel mix-up
// shows as well as a misplaced pixel.
Pixels named(std::initializer_list<int> ids) {
  Pixels out;
  for (int id : ids) {
    out.push_back(static_cast<std::uint8_t>(id));
    out.push_back(static_cast<std::uint8_t>(id + 100));
    out.push_back(static_cast<std::uint8_t>(id + 200));
  }
  return out;
}

Pixels rotated(Pixels pixels, int width, int height, int mode) {
  EXPECT_TRUE(rotate(pixels.data(), width, height, mode));
  EXPECT_EQ(lastError(), ImageError::None);
  return pixels;
}

TEST(GeometryOps, MirrorAndFlip) {
  // 3 by 2:  1 2 3 / 4 5 6
  Pixels p = named({1, 2, 3, 4, 5, 6});
  ASSERT_TRUE(mirrorRows(p.data(), 3, 2));
  EXPECT_EQ(p, named({3, 2, 1, 6, 5, 4}));

  const Pixels pattern = test::patternPixels(7, 5);
  Pixels twice = pattern;
  ASSERT_TRUE(mirrorRows(twice.data(), 7, 5));
  EXPECT_NE(twice, pattern);
  ASSERT_TRUE(mirrorRows(twice.data(), 7, 5));
  EXPECT_EQ(twice, pattern);

  // Rows of 2 bytes, odd and even row counts.
  Pixels rows{1, 2, 3, 4, 5, 6};
  ASSERT_TRUE(flipRows(rows.data(), 2, 3));
  EXPECT_EQ(rows, (Pixels{5, 6, 3, 4, 1, 2}));
  Pixels four{1, 2, 3, 4};
  ASSERT_TRUE(flipRows(four.data(), 1, 4));
  EXPECT_EQ(four, (Pixels{4, 3, 2, 1}));

  EXPECT_FALSE(mirrorRows(nullptr, 3, 2));
  EXPECT_EQ(lastError(), ImageError::BadParameter);
  EXPECT_FALSE(flipRows(rows.data(), 0, 3));
  EXPECT_EQ(lastError(), ImageError::BadParameter);
}

TEST(GeometryOps, RotatePlacesEveryPixel) {
  // 3 by 2:  1 2 3
  //          4 5 6
  const Pixels p = named({1, 2, 3, 4, 5, 6});
  // Clockwise, 2 wide and 3 high:  4 1 / 5 2 / 6 3
  EXPECT_EQ(rotated(p, 3, 2, 0), named({4, 1, 5, 2, 6, 3}));
  EXPECT_EQ(rotated(p, 3, 2, 1), named({6, 5, 4, 3, 2, 1}));
  // Counter-clockwise:  3 6 / 2 5 / 1 4
  EXPECT_EQ(rotated(p, 3, 2, 2), named({3, 6, 2, 5, 1, 4}));

  const Pixels pattern = test::patternPixels(5, 3);
  EXPECT_EQ(rotated(rotated(pattern, 5, 3, 2), 3, 5, 0), pattern);
  EXPECT_EQ(rotated(rotated(pattern, 5, 3, 0), 3, 5, 0), rotated(pattern, 5, 3, 1));
  EXPECT_EQ(rotated(rotated(pattern, 5, 3, 1), 5, 3, 1), pattern);
  Pixels turns = pattern;
  for (int i = 0; i < 4; ++i) turns = rotated(turns, i % 2 == 0 ? 5 : 3, i % 2 == 0 ? 3 : 5, 0);
  EXPECT_EQ(turns, pattern);
  // A single row and a single column.
  EXPECT_EQ(rotated(named({1, 2, 3}), 3, 1, 0), named({1, 2, 3}));
  EXPECT_EQ(rotated(named({1, 2, 3}), 3, 1, 2), named({3, 2, 1}));

  Pixels untouched = pattern;
  EXPECT_FALSE(rotate(untouched.data(), 5, 3, 3));
  EXPECT_EQ(lastError(), ImageError::BadParameter);
  EXPECT_FALSE(rotate(untouched.data(), 5, 3, -1));
  EXPECT_FALSE(rotate(nullptr, 5, 3, 0));
  EXPECT_EQ(untouched, pattern);
}

TEST(GeometryOps, CopyRect) {
  const int width = 6;
  const int height = 30;
  const Pixels src = test::patternPixels(width, height);
  Pixels band(3 * width * 10);
  ASSERT_TRUE(copyRect(src.data(), band.data(), width, height, 3, 0, 10, width, 20));
  EXPECT_EQ(band, Pixels(src.begin() + 3 * width * 10, src.begin() + 3 * width * 20));

  // Columns 1..2 of rows 1..2 of a 4 by 3 one-byte picture.
  const Pixels small{0, 1, 2, 3, 10, 11, 12, 13, 20, 21, 22, 23};
  Pixels inner(4);
  {
    test::ProgressRecorder progress;
    ASSERT_TRUE(copyRect(small.data(), inner.data(), 4, 3, 1, 1, 1, 3, 3));
    EXPECT_EQ(inner, (Pixels{11, 12, 21, 22}));
    EXPECT_EQ(progress.calls, test::rowRun(2));
  }

  Pixels big(small.size() * 2);
  Pixels same = small;
  const struct {
    const std::uint8_t* src;
    std::uint8_t* dst;
    int left, top, right, bottom;
  } bad[] = {
      {same.data(), same.data(), 0, 0, 2, 2},   // same block
      {nullptr, big.data(), 0, 0, 2, 2},        // no source
      {small.data(), nullptr, 0, 0, 2, 2},      // no destination
      {small.data(), big.data(), 2, 0, 2, 2},   // empty width
      {small.data(), big.data(), 0, 2, 2, 1},   // upside down
      {small.data(), big.data(), 0, 0, 5, 2},   // wider than the source
      {small.data(), big.data(), 0, 0, 2, 4},   // taller than the source
      {small.data(), big.data(), -1, 0, 2, 2},  // starts left of the source
      {small.data(), big.data(), 0, -1, 2, 2},  // starts above the source
      {small.data(), big.data(), 3, 0, 5, 2},   // narrow enough, but runs off the right
      {small.data(), big.data(), 0, 2, 2, 4},   // runs off the bottom
  };
  for (const auto& b : bad) {
    EXPECT_FALSE(copyRect(b.src, b.dst, 4, 3, 1, b.left, b.top, b.right, b.bottom))
        << b.left << "," << b.top << "," << b.right << "," << b.bottom;
    EXPECT_EQ(lastError(), ImageError::BadParameter);
  }
  EXPECT_FALSE(copyRect(small.data(), big.data(), 4, 3, 0, 0, 0, 2, 2));
}

}  // namespace
}  // namespace kelmira

#include "video/yuv_remap_table.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "video/display_rotation.h"
#include "video/yuv_remap_kernel.h"

namespace kelmira {
namespace {

RemapPlane planeOver(std::uint32_t sourceWidth, std::uint32_t sourceHeight) {
  RemapPlane plane;
  plane.width = 1;
  plane.height = 1;
  plane.rows = 1;
  plane.sourceWidth = sourceWidth;
  plane.sourceHeight = sourceHeight;
  plane.points.resize(1);
  plane.weights.resize(1);
  return plane;
}

struct Entry {
  int x0, y0, fx, fy;
  bool black;
};

Entry entryFor(double x, double y, std::uint32_t width = 10, std::uint32_t height = 8) {
  RemapPlane plane = planeOver(width, height);
  plane.set(0, x, y);
  const std::int32_t p = plane.points[0];
  return {p & 0xFFFF, p >> 16, int(plane.weights[0] & 0xFFFF), int(plane.weights[0] >> 16), p < 0};
}

// The four pixels blended always lie inside the plane, and their weights put the point
// where it was asked for.
TEST(RemapPlane, PointsBecomeFourPixelsInsideThePlaneAndTheirWeights) {
  const Entry middle = entryFor(3.25, 2.5);
  EXPECT_EQ(middle.x0, 3);
  EXPECT_EQ(middle.fx, 64);
  EXPECT_EQ(middle.y0, 2);
  EXPECT_EQ(middle.fy, 128);
  // A fraction that rounds to a whole pixel moves on to it.
  const Entry almost = entryFor(4.999, 1.0);
  EXPECT_EQ(almost.x0, 5);
  EXPECT_EQ(almost.fx, 0);
  // The last column and row lean wholly on the pixel before: no neighbour past the edge.
  const Entry corner = entryFor(9, 7);
  EXPECT_EQ(corner.x0, 8);
  EXPECT_EQ(corner.fx, 256);
  EXPECT_EQ(corner.y0, 6);
  EXPECT_EQ(corner.fy, 256);
  const Entry nearlyLast = entryFor(8.9995, 0);
  EXPECT_EQ(nearlyLast.x0, 8);
  EXPECT_EQ(nearlyLast.fx, 256);
  for (const auto& [x, y] : {std::pair{-0.01, 1.0}, std::pair{9.01, 1.0}, std::pair{1.0, 7.5}, std::pair{double(NAN), 1.0}}) {
    EXPECT_TRUE(entryFor(x, y).black) << x << ", " << y;
  }
}

TEST(DisplayRotation, TurnsAsFfmpegsMatrixSaysAndBack) {
  EXPECT_EQ(DisplayRotation::clockwise(90).quarterTurns(), 1);
  EXPECT_EQ(DisplayRotation::clockwise(-90).quarterTurns(), 3);
  EXPECT_EQ(DisplayRotation::clockwise(540).quarterTurns(), 2);
  EXPECT_EQ(DisplayRotation::clockwise(NAN).quarterTurns(), 0);
  // FFmpeg's angle turns counter-clockwise: a phone held upright says -90.
  const std::int32_t matrix[9] = {};
  EXPECT_EQ(DisplayRotation::ofMatrix(matrix, [](const std::int32_t*) { return -90.0; }).quarterTurns(), 1);
  EXPECT_EQ(DisplayRotation::ofMatrix(nullptr, [](const std::int32_t*) { return -90.0; }).quarterTurns(), 0);

  // A 4 x 2 stored frame turned a quarter clockwise shows 2 x 4: its bottom-left pixel at
  // the top-left, its top-left at the top-right.
  const DisplayRotation quarter = DisplayRotation::clockwise(90);
  EXPECT_EQ(quarter.displayedWidth(4, 2), 2u);
  double x, y;
  quarter.storedPoint(0, 0, 4, 2, x, y);
  EXPECT_EQ(x, 0);
  EXPECT_EQ(y, 1);
  quarter.storedPoint(1, 0, 4, 2, x, y);
  EXPECT_EQ(x, 0);
  EXPECT_EQ(y, 0);
  for (int turns = 0; turns < 4; ++turns) {
    const DisplayRotation rotation = DisplayRotation::clockwise(90.0 * turns);
    for (const auto& [px, py] : {std::pair{0.0, 0.0}, std::pair{2.5, 1.25}, std::pair{3.0, 1.0}}) {
      double sx, sy, dx, dy;
      rotation.displayedPoint(px, py, 4, 2, dx, dy);
      rotation.storedPoint(dx, dy, 4, 2, sx, sy);
      EXPECT_DOUBLE_EQ(sx, px);
      EXPECT_DOUBLE_EQ(sy, py);
    }
  }
}

// A plane turned to be stored sideways, with its rotation tag, gives the same frame as the
// plane stored as displayed.
TEST(YuvRemapTable, AStoredTurnFramesTheSameAsNone) {
  const std::uint32_t dw = 60, dh = 40;
  std::mt19937 random(5);
  std::vector<std::uint8_t> shown(dw * dh + kRemapSourceSlack);
  for (auto& b : shown) b = static_cast<std::uint8_t>(random());
  FrameMap map;
  ASSERT_TRUE(map.allocate(64, 8, 12));
  std::uniform_real_distribution<double> x(0, dw - 1), y(0, dh - 1);
  for (std::uint32_t row = 8; row < 20; ++row) {
    for (std::uint32_t j = 0; j < 64; ++j) {
      // Points on a 1/8 grid: their weights are exact every way round.
      map.xRow(row)[j] = static_cast<float>(std::floor(x(random) * 8) / 8);
      map.yRow(row)[j] = static_cast<float>(std::floor(y(random) * 8) / 8);
    }
  }
  YuvRemapTable plain;
  ASSERT_TRUE(plain.build(map, DisplayRotation(), dw, dh));
  std::vector<std::uint8_t> expected(64 * 32, 0), actual(64 * 32, 0);
  remapPlaneRows(plain.luma(), shown.data(), dw, expected.data(), 64, 0, plain.luma().rows, 0);
  EXPECT_EQ(plain.luma().top, 8u);
  EXPECT_EQ(plain.luma().rows, 12u);
  EXPECT_EQ(plain.chroma().top, 4u);
  EXPECT_EQ(plain.chroma().rows, 6u);

  for (const int turns : {1, 2, 3}) {
    const DisplayRotation rotation = DisplayRotation::clockwise(90.0 * turns);
    const std::uint32_t sw = rotation.swapsSides() ? dh : dw, sh = rotation.swapsSides() ? dw : dh;
    std::vector<std::uint8_t> stored(sw * sh + kRemapSourceSlack);
    for (std::uint32_t sy = 0; sy < sh; ++sy) {
      for (std::uint32_t sx = 0; sx < sw; ++sx) {
        double px, py;
        rotation.displayedPoint(sx, sy, sw, sh, px, py);
        stored[sy * sw + sx] = shown[std::size_t(py) * dw + std::size_t(px)];
      }
    }
    YuvRemapTable turned;
    ASSERT_TRUE(turned.build(map, rotation, sw, sh));
    std::fill(actual.begin(), actual.end(), 0);
    remapPlaneRows(turned.luma(), stored.data(), static_cast<std::int32_t>(sw), actual.data(), 64, 0,
                   turned.luma().rows, 0);
    EXPECT_EQ(expected, actual) << turns << " quarter turns";
  }
}

// Each chroma pixel samples the middle of its 2 x 2 block of luma points, in the chroma
// plane's own pixels (chroma pixel k covers luma pixels 2k and 2k + 1).
TEST(YuvRemapTable, ChromaSamplesTheMiddleOfItsLumaBlock) {
  FrameMap map;
  ASSERT_TRUE(map.allocate(8, 1, 3));
  for (std::uint32_t row = 1; row < 4; ++row) {
    for (std::uint32_t j = 0; j < 8; ++j) {
      map.xRow(row)[j] = static_cast<float>(10 + j);
      map.yRow(row)[j] = static_cast<float>(20 + row);
    }
  }
  map.xRow(2)[2] = NAN;  // a point seeing nothing is left out of its block's middle
  YuvRemapTable table;
  ASSERT_TRUE(table.build(map, DisplayRotation(), 64, 48));
  const RemapPlane& chroma = table.chroma();
  ASSERT_EQ(chroma.top, 0u);
  ASSERT_EQ(chroma.rows, 2u);
  // Block (row 0, column 0) holds only luma row 1: luma (10.5, 21) is chroma (5, 10.25).
  EXPECT_EQ(chroma.points[0], 10 << 16 | 5);
  EXPECT_EQ(chroma.weights[0], 64u << 16 | 0u);
  // Block (row 1, column 1): luma x 12 (left out), 13, 12, 13 and y 22, 22, 23, 23.
  const double x = ((13 + 12 + 13) / 3.0 - 0.5) / 2, y = ((22 + 23 + 23) / 3.0 - 0.5) / 2;
  const std::size_t k = chroma.width + 1;
  EXPECT_EQ(chroma.points[k] & 0xFFFF, int(x));
  EXPECT_EQ(chroma.points[k] >> 16, int(y));
  EXPECT_EQ(int(chroma.weights[k] & 0xFFFF), std::lround((x - int(x)) * 256));
  EXPECT_EQ(int(chroma.weights[k] >> 16), std::lround((y - int(y)) * 256));
}

TEST(YuvRemapTable, RefusesFramesTooSmallAndEmptyMaps) {
  FrameMap map;
  YuvRemapTable table;
  EXPECT_FALSE(table.build(map, DisplayRotation(), 64, 48));
  ASSERT_TRUE(map.allocate(16, 2, 2));
  EXPECT_FALSE(table.build(map, DisplayRotation(), 3, 48));
  EXPECT_TRUE(table.build(map, DisplayRotation(), 4, 4));
  EXPECT_FALSE(map.allocate(15, 0, 2));
  EXPECT_FALSE(map.allocate(16, 7, 2));
}

}  // namespace
}  // namespace kelmira

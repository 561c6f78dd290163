#include "unwarp/unwarp_ring.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "support/simd_targets.h"
#include "support/test_files.h"
#include "unwarp/mirror_profile_table.h"

namespace kelmira {
namespace {

using Pixels = std::vector<std::uint8_t>;

// The unwarp written plainly, one byte at a time, the way it is worked out on paper.
// The optimised version must produce exactly these bytes.
Pixels referenceUnwarp(const Pixels& src, int sw, int sh, int tw, int th, double cx, double cy) {
  Pixels out;
  const MirrorProfileTable table = buildMirrorProfileTable();
  const double s = (double)sh * 0.117096018735363;
  const int p = 3;
  const long S = 3L * sw;
  for (int i = 0; i < th; ++i) {
    const double t = radiusForRow(i, th, table);
    for (int j = 0; j < tw; ++j) {
      const double theta = (j * 6.283185307179586) / tw;
      const double X = t * std::cos(theta) * s + cx;
      const double Y = t * std::sin(theta) * s + cy;
      for (int k = 0; k < p; ++k) {
        if (X < 0 || Y < 0 || X > sw - 1 || Y > sh - 1) {
          out.push_back(0);
          continue;
        }
        const long o = (long)(std::floor(X) * p + std::floor(Y) * S + k);
        const bool lastColumn = std::floor(X) >= sw - 1;
        const bool lastRow = std::floor(Y) >= sh - 1;
        const int A = src[o];
        const int B = src[lastColumn ? o : o + p];
        const int C = src[lastRow ? o : o + S];
        const int D = src[o + (lastColumn ? 0 : p) + (lastRow ? 0 : S)];
        const double fx = X - std::trunc(X);
        const double fy = Y - std::trunc(Y);
        const double v = A + (B - A) * fx + (C - A) * fy + (A - B - C + D) * fx * fy;
        out.push_back((std::uint8_t)(long)std::trunc(v));
      }
    }
  }
  return out;
}

ImageView viewOf(Pixels& pixels, int width, int height) {
  return ImageView{pixels.data(), (std::uint32_t)width, (std::uint32_t)height, 3, 3u * (std::uint32_t)width};
}

Pixels unwarp(Pixels& src, int sw, int sh, int tw, int th, double cx, double cy) {
  Pixels out(3u * tw * th, 0xAB);
  EXPECT_TRUE(unwarpRing(viewOf(src, sw, sh), viewOf(out, tw, th), cx, cy));
  return out;
}

void expectSameBytes(const Pixels& expected, const Pixels& actual, int width) {
  ASSERT_EQ(expected.size(), actual.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    if (expected[i] != actual[i]) {
      FAIL() << "first difference at row " << i / 3 / width << ", column " << i / 3 % width << ", channel " << i % 3
             << ": expected " << int(expected[i]) << ", got " << int(actual[i]);
    }
  }
}

class UnwarpRingOnEachTarget : public test::OnEachSimdTarget {};

TEST_P(UnwarpRingOnEachTarget, MatchesThePlainTranscriptionByteForByte) {
  struct Case {
    int sw, sh, tw, th;
    double cx, cy;
  };
  // Widths divisible by 4 put samples exactly on the axes; fractional centres and centres
  // near or past the edges exercise the black border and the repeated last row and column;
  // a centre on the last row puts column 0 exactly on it, with nothing below to read.
  const Case cases[] = {
      {320, 240, 376, 60, 160, 120},
      {321, 241, 377, 61, 160.5, 120.25},
      {200, 150, 400, 100, 3.7, 75},
      {200, 150, 404, 50, 196.9, 148.1},
      {64, 480, 120, 33, 32, 240},
      {97, 89, 96, 12, -20, 44.5},
      {400, 300, 1508, 240, 200, 150},
      {50, 50, 17, 9, 49, 49},
      {400, 300, 512, 40, 10, 299},
      {3, 2, 5, 3, 1, 1},
      {1, 1, 9, 2, 0, 0},
      // Big enough for whole bands of rows on both threads, with the ring over every edge.
      {1203, 901, 2267, 361, 601.5, 450.25},
      {1203, 901, 2264, 300, 1150, 860},
      {1203, 901, 2264, 300, 40, 30},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.sw << "x" << c.sh << " -> " << c.tw << "x" << c.th << " at (" << c.cx << ", "
                                    << c.cy << ")");
    Pixels src = test::patternPixels(c.sw, c.sh, c.sw + c.th);
    expectSameBytes(referenceUnwarp(src, c.sw, c.sh, c.tw, c.th, c.cx, c.cy),
                    unwarp(src, c.sw, c.sh, c.tw, c.th, c.cx, c.cy), c.tw);
  }
}

TEST_P(UnwarpRingOnEachTarget, ReadsPaddedRowsByTheirStride) {
  const int sw = 301, sh = 203, tw = 650, th = 90, pad = 13;
  Pixels packed = test::patternPixels(sw, sh, 5);
  Pixels padded(static_cast<std::size_t>(3 * sw + pad) * sh - pad, 0xEE);
  for (int y = 0; y < sh; ++y) std::copy_n(&packed[3u * sw * y], 3 * sw, &padded[(3u * sw + pad) * y]);
  const ImageView source{padded.data(), (std::uint32_t)sw, (std::uint32_t)sh, 3, 3u * sw + pad};
  Pixels out(3u * tw * th);
  ASSERT_TRUE(unwarpRing(source, viewOf(out, tw, th), 150.5, 101.75));
  expectSameBytes(referenceUnwarp(packed, sw, sh, tw, th, 150.5, 101.75), out, tw);
}

KELMIRA_ON_EACH_SIMD_TARGET(UnwarpRingOnEachTarget);

TEST(UnwarpRing, SamplesTheRingWhereTheGeometrySays) {
  // A 1600 x 1200 picture: row 0 lies 1.76 x 140.5152 = 247.3 pixels from the centre.
  const int sw = 1600, sh = 1200;
  const double cx = 800, cy = 600;
  Pixels src(3u * sw * sh, 0);
  auto paint = [&](double x, double y, std::uint8_t r, std::uint8_t g, std::uint8_t b) {
    for (int dy = -3; dy <= 3; ++dy)
      for (int dx = -3; dx <= 3; ++dx) {
        const std::size_t o = 3 * ((std::size_t)(std::lround(y) + dy) * sw + (std::size_t)(std::lround(x) + dx));
        src[o] = r, src[o + 1] = g, src[o + 2] = b;
      }
  };
  const double innerRadius = 1.76 * sh * 0.117096018735363;
  EXPECT_NEAR(innerRadius, 247.3, 0.05);
  paint(cx + innerRadius, cy, 255, 0, 0);  // 3 o'clock
  paint(cx, cy + innerRadius, 0, 255, 0);  // 6 o'clock, below the centre on screen
  paint(cx - innerRadius, cy, 0, 0, 255);  // 9 o'clock
  const int tw = 400, th = 60;
  Pixels out = unwarp(src, sw, sh, tw, th, cx, cy);
  auto at = [&](int column) { return &out[3u * column]; };
  EXPECT_EQ(at(0)[0], 255);
  EXPECT_EQ(at(tw / 4)[1], 255);  // clockwise: a quarter of the way is straight down
  EXPECT_EQ(at(tw / 2)[2], 255);
  EXPECT_EQ(at(3 * tw / 4)[0] + at(3 * tw / 4)[1] + at(3 * tw / 4)[2], 0);
}

TEST(UnwarpRing, ReportsEveryRowInOrderAndRejectsMismatchedBuffers) {
  Pixels src = test::patternPixels(600, 400);
  Pixels out(3u * 1200 * 90);
  std::vector<std::uint32_t> rows;
  ASSERT_TRUE(
      unwarpRing(viewOf(src, 600, 400), viewOf(out, 1200, 90), 300, 200, [&](std::uint32_t row, std::uint32_t total) {
        EXPECT_EQ(total, 90u);
        rows.push_back(row);
      }));
  ASSERT_EQ(rows.size(), 90u);
  for (std::uint32_t i = 0; i < 90; ++i) EXPECT_EQ(rows[i], i);

  ImageView fourBytes = viewOf(out, 10, 10);
  fourBytes.bytesPerPixel = 4;
  EXPECT_FALSE(unwarpRing(viewOf(src, 600, 400), fourBytes, 0, 0));
  EXPECT_FALSE(unwarpRing(ImageView{}, viewOf(out, 10, 10), 0, 0));
}

}  // namespace
}  // namespace kelmira

#include "image/neighbourhood_filter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "image/layer_state.h"
#include "image/progress_recorder.h"
#include "support/simd_targets.h"
#include "support/test_files.h"

namespace kelmira {
namespace {

using Pixels = std::vector<std::uint8_t>;

Pixels filtered(const Pixels& src, int width, int height, int level, FilterKind kind) {
  Pixels dst(src.size(), 0xEE);
  EXPECT_TRUE(sharpen(src.data(), dst.data(), width, height, level, kind));
  EXPECT_EQ(lastError(), ImageError::None);
  return dst;
}

// Straight from the definition: clamped coordinates for the neighbours, a full sort for
// the median.
Pixels naiveFilter(const Pixels& src, int width, int height, int level, FilterKind kind) {
  level = std::clamp(level, 0, 100);
  const double k = kind == FilterKind::Sharpen ? level * 0.005 : level * 0.01;
  Pixels dst(src.size());
  auto at = [&](int x, int y, int c) {
    x = std::clamp(x, 0, width - 1);
    y = std::clamp(y, 0, height - 1);
    return static_cast<int>(src[(static_cast<std::size_t>(y) * width + x) * 3 + c]);
  };
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      for (int c = 0; c < 3; ++c) {
        std::vector<int> nine;
        for (int dy = -1; dy <= 1; ++dy) {
          for (int dx = -1; dx <= 1; ++dx) nine.push_back(at(x + dx, y + dy, c));
        }
        const int centre = at(x, y, c);
        int n = -centre;
        for (int v : nine) n += v;
        int out = 0;
        if (kind == FilterKind::Sharpen) {
          out = static_cast<int>(std::clamp(centre - k * (n - 8 * centre), 0.0, 255.0));
        } else if (kind == FilterKind::Soften) {
          out = static_cast<int>(k * (n / 8) + (1 - k) * centre);
        } else {
          std::sort(nine.begin(), nine.end());
          out = nine[4];
        }
        dst[(static_cast<std::size_t>(y) * width + x) * 3 + c] = static_cast<std::uint8_t>(out);
      }
    }
  }
  return dst;
}

// 10 20 30
// 40 90 60
// 70 80  0   (the same value in all three channels)
Pixels handPicture() {
  Pixels out;
  for (int v : {10, 20, 30, 40, 90, 60, 70, 80, 0}) out.insert(out.end(), 3, static_cast<std::uint8_t>(v));
  return out;
}

// The values at (1,1), (0,0), (2,2) and (1,0), checked in every channel.
std::vector<int> probe(const Pixels& p) {
  std::vector<int> out;
  for (int index : {4, 0, 8, 1}) {
    EXPECT_TRUE(p[3 * index] == p[3 * index + 1] && p[3 * index] == p[3 * index + 2]);
    out.push_back(p[3 * index]);
  }
  return out;
}

TEST(NeighbourhoodFilter, HandWorkedValues) {
  // Neighbour sums with the edges repeated: centre 310, (0,0) 240, (2,2) 370, (1,0) 290.
  const Pixels p = handPicture();
  // c - k (N - 8c) with k = 0.05: 90 + 20.5, 10 - 8, 0 - 18.5 (clamped), 20 - 6.5.
  EXPECT_EQ(probe(filtered(p, 3, 3, 10, FilterKind::Sharpen)), (std::vector<int>{110, 2, 0, 13}));
  EXPECT_EQ(probe(filtered(p, 3, 3, 100, FilterKind::Sharpen))[0], 255);
  // k (N / 8) + (1 - k) c with k = 0.5: 19 + 45, 15 + 5, 23 + 0, 18 + 10.
  EXPECT_EQ(probe(filtered(p, 3, 3, 50, FilterKind::Soften)), (std::vector<int>{64, 20, 23, 28}));
  EXPECT_EQ(probe(filtered(p, 3, 3, 30, FilterKind::Soften))[0], 74);  // 11.4 + 63
  EXPECT_EQ(probe(filtered(p, 3, 3, 50, FilterKind::Median)), (std::vector<int>{40, 20, 60, 30}));

  // Level 0 copies; levels outside 0..100 act as the nearest end.
  const Pixels pattern = test::patternPixels(5, 4);
  EXPECT_EQ(filtered(pattern, 5, 4, 0, FilterKind::Sharpen), pattern);
  EXPECT_EQ(filtered(pattern, 5, 4, 0, FilterKind::Soften), pattern);
  EXPECT_EQ(filtered(pattern, 5, 4, -5, FilterKind::Sharpen), pattern);
  EXPECT_EQ(filtered(pattern, 5, 4, 150, FilterKind::Sharpen), filtered(pattern, 5, 4, 100, FilterKind::Sharpen));
}

TEST(NeighbourhoodFilter, MatchesNaiveFilter) {
  const int sizes[][2] = {{1, 1}, {1, 4}, {2, 2}, {3, 1}, {4, 3}, {9, 6}};
  for (const auto& size : sizes) {
    const Pixels src = test::patternPixels(size[0], size[1], 5);
    for (FilterKind kind : {FilterKind::Sharpen, FilterKind::Soften, FilterKind::Median}) {
      for (int level : {1, 37, 50, 100}) {
        EXPECT_EQ(filtered(src, size[0], size[1], level, kind), naiveFilter(src, size[0], size[1], level, kind))
            << size[0] << "x" << size[1] << " kind " << static_cast<int>(kind) << " level " << level;
      }
    }
  }
}

// Sharpening runs with vector instructions: rows long enough for whole vectors and odd
// tails, on every target.
class SharpenOnEachTarget : public test::OnEachSimdTarget {};

TEST_P(SharpenOnEachTarget, MatchesNaiveFilter) {
  const int sizes[][2] = {{1, 3}, {2, 2}, {3, 2}, {6, 3}, {23, 4}, {97, 5}, {301, 3}};
  for (const auto& size : sizes) {
    const Pixels src = test::patternPixels(size[0], size[1], 11);
    for (int level : {1, 37, 100}) {
      EXPECT_EQ(filtered(src, size[0], size[1], level, FilterKind::Sharpen),
                naiveFilter(src, size[0], size[1], level, FilterKind::Sharpen))
          << size[0] << "x" << size[1] << " level " << level;
    }
  }
}

KELMIRA_ON_EACH_SIMD_TARGET(SharpenOnEachTarget);

TEST(NeighbourhoodFilter, ParametersAndProgress) {
  Pixels src = test::patternPixels(4, 3);
  Pixels dst(src.size());
  EXPECT_FALSE(sharpen(src.data(), src.data(), 4, 3, 50, FilterKind::Sharpen));
  EXPECT_EQ(lastError(), ImageError::BadParameter);
  EXPECT_FALSE(sharpen(nullptr, dst.data(), 4, 3, 50, FilterKind::Sharpen));
  EXPECT_FALSE(sharpen(src.data(), nullptr, 4, 3, 50, FilterKind::Sharpen));
  EXPECT_FALSE(sharpen(src.data(), dst.data(), 0, 3, 50, FilterKind::Sharpen));
  EXPECT_FALSE(sharpen(src.data(), dst.data(), 4, 3, 50, static_cast<FilterKind>(3)));
  EXPECT_EQ(lastError(), ImageError::BadParameter);

  test::ProgressRecorder progress(2);
  EXPECT_FALSE(sharpen(src.data(), dst.data(), 4, 3, 50, FilterKind::Median));
  EXPECT_EQ(lastError(), ImageError::Aborted);
  EXPECT_EQ(progress.calls, (std::vector<std::pair<int, int>>{{0, 3}, {1, 3}, {2, 3}}));
}

}  // namespace
}  // namespace kelmira

#include "image/resample.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <tuple>
#include <vector>

#include "image/layer_state.h"
#include "image/progress_recorder.h"
#include "support/test_files.h"

namespace kelmira {
namespace {

using Pixels = std::vector<std::uint8_t>;

// A plain transcription of the bilinear arithmetic, one value at a time.
Pixels naiveResample(const Pixels& src, int ws, int hs, int wd, int hd) {
  Pixels dst(static_cast<std::size_t>(3) * wd * hd);
  const double sx = static_cast<double>(ws) / wd;
  const double sy = static_cast<double>(hs) / hd;
  for (int i = 0; i < hd; ++i) {
    const double y = std::min(i * sy, static_cast<double>(hs - 1));
    const int y0 = static_cast<int>(std::trunc(y));
    const int y1 = std::min(y0 + 1, hs - 1);
    for (int j = 0; j < wd; ++j) {
      const double x = std::min(j * sx, static_cast<double>(ws - 1));
      const int x0 = static_cast<int>(std::trunc(x));
      const int x1 = std::min(x0 + 1, ws - 1);
      for (int c = 0; c < 3; ++c) {
        auto at = [&](int row, int col) { return src[(static_cast<std::size_t>(row) * ws + col) * 3 + c]; };
        const double row0 = at(y0, x1) * (x - x0) + at(y0, x0) * (x0 + 1 - x);
        const double row1 = at(y1, x1) * (x - x0) + at(y1, x0) * (x0 + 1 - x);
        dst[(static_cast<std::size_t>(i) * wd + j) * 3 + c] =
            static_cast<std::uint8_t>(std::trunc((y0 + 1 - y) * row0 + (y - y0) * row1));
      }
    }
  }
  return dst;
}

Pixels run(const Pixels& src, int ws, int hs, int wd, int hd) {
  Pixels dst(static_cast<std::size_t>(3) * wd * hd, 0xEE);
  EXPECT_TRUE(resample(src.data(), ws, hs, dst.data(), wd, hd));
  EXPECT_EQ(lastError(), ImageError::None);
  return dst;
}

// One grey value per pixel, repeated in the three channels.
Pixels grey(std::initializer_list<int> values) {
  Pixels out;
  for (int v : values) out.insert(out.end(), 3, static_cast<std::uint8_t>(v));
  return out;
}

TEST(Resample, HandWorkedValues) {
  EXPECT_EQ(run(grey({0, 255}), 2, 1, 4, 1), grey({0, 127, 255, 255}));
  EXPECT_EQ(run(grey({0, 255}), 1, 2, 1, 4), grey({0, 127, 255, 255}));
  // Halving keeps every other column: x = 2j lands exactly on a source pixel.
  EXPECT_EQ(run(grey({10, 20, 30, 40}), 4, 1, 2, 1), grey({10, 30}));
  // 2x2 to 4x4: half-way values truncate, the last row and column repeat the edge.
  EXPECT_EQ(run(grey({0, 101, 51, 250}), 2, 2, 4, 4),
            grey({0, 50, 101, 101, 25, 100, 175, 175, 51, 150, 250, 250, 51, 150, 250, 250}));
  // Channels stay apart.
  const Pixels rgb{200, 0, 9, 0, 100, 9};
  EXPECT_EQ(run(rgb, 2, 1, 4, 1), (Pixels{200, 0, 9, 100, 50, 9, 0, 100, 9, 0, 100, 9}));
}

TEST(Resample, MatchesNaiveTranscription) {
  const int sizes[][4] = {{7, 5, 13, 11},  {13, 11, 5, 3}, {1, 1, 3, 2},   {31, 17, 9, 23},
                          {9, 23, 31, 17}, {5, 3, 1, 1},   {17, 9, 17, 9}, {100, 3, 7, 40}};
  for (const auto& s : sizes) {
    const Pixels src = test::patternPixels(s[0], s[1], 7);
    const Pixels fast = run(src, s[0], s[1], s[2], s[3]);
    const Pixels naive = naiveResample(src, s[0], s[1], s[2], s[3]);
    const auto diff = std::mismatch(fast.begin(), fast.end(), naive.begin());
    EXPECT_TRUE(diff.first == fast.end()) << s[0] << "x" << s[1] << " -> " << s[2] << "x" << s[3]
                                          << ": first difference at byte " << (diff.first - fast.begin());
  }
  // The same size is an exact copy.
  const Pixels src = test::patternPixels(17, 9, 3);
  EXPECT_EQ(run(src, 17, 9, 17, 9), src);
}

TEST(Resample, ConstantPictureStaysConstant) {
  // Exact scale factors keep every value.
  for (int v : {0, 1, 128, 255}) {
    const Pixels src(3 * 6 * 4, static_cast<std::uint8_t>(v));
    EXPECT_EQ(run(src, 6, 4, 12, 8), Pixels(3 * 12 * 8, static_cast<std::uint8_t>(v)));
    EXPECT_EQ(run(src, 6, 4, 3, 2), Pixels(3 * 3 * 2, static_cast<std::uint8_t>(v)));
  }
  // Other factors give weights that sum to a hair under one, which truncation can turn
  // into one step less (255 from 3 rows to 7 gives 254 in places), but never more.
  for (int v : {3, 77, 255}) {
    const Pixels src(3 * 5 * 3, static_cast<std::uint8_t>(v));
    for (const Pixels& out : {run(src, 5, 3, 13, 7), run(src, 5, 3, 2, 2), run(src, 5, 3, 11, 3)}) {
      for (std::uint8_t b : out) {
        ASSERT_TRUE(b == v || b == v - 1) << "value " << v << " became " << int(b);
      }
    }
  }
}

TEST(Resample, ParametersAndProgress) {
  const Pixels src = test::patternPixels(4, 4);
  Pixels dst(3 * 4 * 4);
  for (auto [s, d, ws, hs, wd, hd] : {std::tuple{src.data(), dst.data(), 0, 4, 4, 4},
                                      {src.data(), dst.data(), 4, -1, 4, 4},
                                      {src.data(), dst.data(), 4, 4, 4, 0},
                                      {nullptr, dst.data(), 4, 4, 4, 4},
                                      {src.data(), nullptr, 4, 4, 4, 4}}) {
    EXPECT_FALSE(resample(s, ws, hs, d, wd, hd));
    EXPECT_EQ(lastError(), ImageError::BadParameter);
  }
  {
    test::ProgressRecorder progress;
    EXPECT_TRUE(resample(src.data(), 4, 4, dst.data(), 2, 3));
    EXPECT_EQ(progress.calls, test::rowRun(3));
  }
  test::ProgressRecorder abort(0);
  EXPECT_FALSE(resample(src.data(), 4, 4, dst.data(), 2, 3));
  EXPECT_EQ(lastError(), ImageError::Aborted);
  EXPECT_EQ(abort.calls.size(), 1u);
}

}  // namespace
}  // namespace kelmira

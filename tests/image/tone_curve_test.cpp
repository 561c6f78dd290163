#include "image/tone_curve.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <vector>

#include "image/layer_state.h"
#include "image/progress_recorder.h"
#include "support/simd_targets.h"
#include "support/test_files.h"

namespace kelmira {
namespace {

using Pixels = std::vector<std::uint8_t>;
using Table = std::array<std::uint8_t, 256>;

TEST(ToneCurve, ReferenceTables) {
  const Table neutral = toneTable(0, 0);
  for (int j = 0; j < 256; ++j) EXPECT_EQ(neutral[j], j);

  const Table steeper = toneTable(0, 0.5);
  for (int j = 0; j <= 64; ++j) EXPECT_EQ(steeper[j], 0) << j;
  EXPECT_EQ(steeper[65], 1);
  for (int j = 191; j <= 255; ++j) EXPECT_EQ(steeper[j], 255) << j;

  for (std::uint8_t v : toneTable(1, 0)) EXPECT_EQ(v, 255);
  for (std::uint8_t v : toneTable(-1, 0.3)) EXPECT_EQ(v, 0);
  EXPECT_EQ(toneTable(0.5, 0)[0], 127);

  // Contrast -1 flattens the curve to points (0,127) (64,127) (128,128) (191.5,128)
  // (255,128): only the segment from 64 to 128 rises, and by one step.
  const Table flat = toneTable(0, -1);
  for (int j = 0; j < 256; ++j) EXPECT_EQ(flat[j], j < 128 ? 127 : 128) << j;

  // Values beyond the range act as its ends; contrast 1 (zero-wide segments) must not
  // divide by zero and becomes a threshold.
  EXPECT_EQ(toneTable(3, -7), toneTable(1, -1));
  const Table threshold = toneTable(0, 1);
  EXPECT_EQ(toneTable(0, 2), threshold);
  for (int j = 0; j < 256; ++j) EXPECT_EQ(threshold[j], j < 128 ? 0 : 255) << j;

  // Every curve rises or stays level.
  for (double b : {-0.5, -0.2, 0.0, 0.3, 0.5}) {
    for (double c : {-0.9, -0.5, 0.0, 0.25, 0.5, 0.99}) {
      const Table t = toneTable(b, c);
      for (int j = 1; j < 256; ++j) ASSERT_LE(t[j - 1], t[j]) << b << " " << c << " at " << j;
    }
  }
}

TEST(ToneCurve, AppliesToChosenChannels) {
  const Pixels original = test::patternPixels(5, 3);
  Table invert;
  for (int j = 0; j < 256; ++j) invert[j] = static_cast<std::uint8_t>(255 - j);

  for (unsigned mask : {1u, 2u, 4u, 6u, 7u}) {
    Pixels p = original;
    ASSERT_TRUE(applyChannelTable(p.data(), 5, 3, mask, invert));
    for (std::size_t i = 0; i < p.size(); ++i) {
      const bool chosen = (mask >> (i % 3)) & 1u;
      ASSERT_EQ(p[i], chosen ? 255 - original[i] : original[i]) << "mask " << mask << " byte " << i;
    }
  }

  Pixels adjusted = original;
  ASSERT_TRUE(adjustBrightnessContrast(adjusted.data(), 5, 3, 0.2, 0.3));
  const Table table = toneTable(0.2, 0.3);
  for (std::size_t i = 0; i < adjusted.size(); ++i) ASSERT_EQ(adjusted[i], table[original[i]]);

  Pixels same = original;
  ASSERT_TRUE(adjustBrightnessContrast(same.data(), 5, 3, 0, 0));
  EXPECT_EQ(same, original);
}

// A table is applied with vector instructions where they pay: every byte value, rows long
// enough for whole vectors and odd tails, on every target.
class ToneCurveOnEachTarget : public test::OnEachSimdTarget {};

TEST_P(ToneCurveOnEachTarget, MapsEveryByteThroughTheTable) {
  Table scrambled;
  for (int j = 0; j < 256; ++j) scrambled[j] = static_cast<std::uint8_t>(j * 167 + 13);
  for (int width : {1, 11, 43, 101}) {
    Pixels original(3u * width * 4);
    for (std::size_t i = 0; i < original.size(); ++i) original[i] = static_cast<std::uint8_t>(i * 7 + width);
    Pixels p = original;
    ASSERT_TRUE(applyChannelTable(p.data(), width, 4, 7, scrambled));
    for (std::size_t i = 0; i < p.size(); ++i) ASSERT_EQ(p[i], scrambled[original[i]]) << width << " wide, byte " << i;
  }
}

KELMIRA_ON_EACH_SIMD_TARGET(ToneCurveOnEachTarget);

TEST(ToneCurve, ParametersAndProgress) {
  Pixels p = test::patternPixels(4, 3);
  const Table table = toneTable(0, 0);
  EXPECT_FALSE(applyChannelTable(nullptr, 4, 3, 7, table));
  EXPECT_EQ(lastError(), ImageError::BadParameter);
  EXPECT_FALSE(applyChannelTable(p.data(), 4, 0, 7, table));
  EXPECT_FALSE(adjustBrightnessContrast(nullptr, 4, 3, 0.1, 0.1));
  EXPECT_EQ(lastError(), ImageError::BadParameter);
  EXPECT_FALSE(adjustBrightnessContrast(p.data(), 4, 3, std::numeric_limits<double>::quiet_NaN(), 0));
  EXPECT_EQ(lastError(), ImageError::BadParameter);

  test::ProgressRecorder progress(0);
  // Run directly, the table pass reports its first row and stops.
  EXPECT_FALSE(applyChannelTable(p.data(), 4, 3, 7, table));
  EXPECT_EQ(lastError(), ImageError::Aborted);
  EXPECT_EQ(progress.calls.size(), 1u);
  // Inside the adjustment it is a nested operation and never sees the callback.
  EXPECT_TRUE(adjustBrightnessContrast(p.data(), 4, 3, 0.1, 0.1));
  EXPECT_EQ(lastError(), ImageError::None);
  EXPECT_EQ(progress.calls.size(), 1u);
}

}  // namespace
}  // namespace kelmira

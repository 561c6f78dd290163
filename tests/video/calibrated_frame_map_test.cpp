// The video's frames through a calibrated mirror against the photographs' calibrated
// panorama (remapRound, bilinear in doubles) over the same plan: the fixed-point tables
// made from the frame map must give the same picture within a level or two.
#include "video/calibrated_frame_map.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <random>
#include <vector>

#include "mirror/mirror_file_reader.h"
#include "mirror/round_remap.h"
#include "video/yuv_remap_kernel.h"
#include "video/yuv_remap_table.h"

namespace kelmira {
namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::uint32_t kSide = 600;
constexpr std::int32_t kWidth = 1024;

std::optional<CalibratedPanorama> tablePlan(ImageSize photo) {
  // A mirror that sees -80 degrees at a tenth of the rim and 25 at the rim.
  const MirrorFile file = readMirrorText("0.1,-80\n0.3,-50\n0.6,-15\n0.8,5\n1.0,25\n", "mirror.txt", photo);
  EXPECT_TRUE(file) << file.error;
  if (!file) return std::nullopt;
  PanoramaPlacement placement;
  placement.centre = ImagePoint{300.4, 299.6};
  placement.width = kWidth;
  std::string why;
  std::optional<CalibratedPanorama> plan = CalibratedPanorama::plan(*file.model, Rig::CameraBelow, photo, placement, why);
  EXPECT_TRUE(plan) << why;
  return plan;
}

TEST(CalibratedFrameMap, FixedPointFramesStayWithinALevelOfTheStillCalibratedPanorama) {
  const std::optional<CalibratedPanorama> plan = tablePlan({kSide, kSide});
  ASSERT_TRUE(plan);
  const FrameMap map = calibratedFrameMap(*plan, kSide, kSide);
  ASSERT_FALSE(map.empty());
  ASSERT_EQ(map.width(), std::uint32_t{kWidth});
  ASSERT_EQ(map.bandTop(), std::uint32_t(plan->sphereTop()));
  ASSERT_EQ(map.bandRows(), std::uint32_t(plan->height()));

  // Smooth ramps with sharp blocks and grain, as a photograph has them.
  std::mt19937 random(5);
  Bytes grey(std::size_t{kSide} * kSide + kRemapSourceSlack);
  Bytes rgb(std::size_t{kSide} * kSide * 3);
  for (std::uint32_t y = 0; y < kSide; ++y) {
    for (std::uint32_t x = 0; x < kSide; ++x) {
      const std::size_t k = std::size_t{y} * kSide + x;
      grey[k] = static_cast<std::uint8_t>((x * 255 / kSide + ((x / 9 + y / 6) % 2) * 110 + random() % 20) % 256);
      rgb[3 * k] = rgb[3 * k + 1] = rgb[3 * k + 2] = grey[k];
    }
  }
  SourceMap points;
  ASSERT_TRUE(plan->buildSourceMap(points));
  const auto rows = static_cast<std::uint32_t>(plan->height());
  Bytes still(std::size_t{kWidth} * rows * 3);
  ASSERT_TRUE(remapRound(SourceView{rgb.data(), kSide, kSide, 3, std::size_t{kSide} * 3}, points,
                         ImageView{still.data(), kWidth, rows, 3, std::size_t{kWidth} * 3}));

  YuvRemapTable table;
  ASSERT_TRUE(table.build(map, DisplayRotation(), kSide, kSide));
  const RemapPlane& luma = table.luma();
  Bytes frame(std::size_t{kWidth} * (kWidth / 2), 0xEE);
  remapPlaneRows(luma, grey.data(), kSide, frame.data(), kWidth, 0, luma.rows, 0);

  int largest = 0;
  double sum = 0;
  std::size_t compared = 0, edge = 0;
  for (std::uint32_t i = 0; i < rows; ++i) {
    for (std::uint32_t j = 0; j < std::uint32_t{kWidth}; ++j) {
      const float x = points.xRow(i)[j], y = points.yRow(i)[j];
      // The still remap repeats the last column and row a little past them; the video leaves
      // what lies outside the frame black.
      if (!(x >= 0 && y >= 0 && x <= kSide - 1.0f && y <= kSide - 1.0f)) {
        ++edge;
        continue;
      }
      const int difference =
          std::abs(int(frame[std::size_t{map.bandTop() + i} * kWidth + j]) - int(still[(std::size_t{i} * kWidth + j) * 3]));
      largest = std::max(largest, difference);
      sum += difference;
      ++compared;
    }
  }
  std::printf("calibrated fixed point against remapRound: %zu pixels, largest difference %d, mean %.4f (%zu outside the frame)\n",
              compared, largest, sum / compared, edge);
  RecordProperty("largest_difference", largest);
  RecordProperty("mean_difference", std::to_string(sum / compared));
  EXPECT_GT(compared, std::size_t{kWidth} * rows / 2);
  EXPECT_LE(largest, 2);
  EXPECT_LT(sum / compared, 0.25);
  // Above and below the band the frame is black.
  for (std::uint32_t y = 0; y < std::uint32_t{kWidth / 2}; ++y) {
    if (map.inBand(y)) continue;
    ASSERT_EQ(frame[std::size_t{y} * kWidth + kWidth / 3], 0xEE) << "row " << y << " is the kernel's to leave";
  }
}

// A plan made for frames of another size is refused rather than read out of bounds.
TEST(CalibratedFrameMap, APlanForAnotherFrameSizeGivesNoMap) {
  const std::optional<CalibratedPanorama> plan = tablePlan({kSide, kSide});
  ASSERT_TRUE(plan);
  EXPECT_TRUE(calibratedFrameMap(*plan, kSide, kSide - 2).empty());
  EXPECT_TRUE(calibratedFrameMap(*plan, 0, 0).empty());
}

}  // namespace
}  // namespace kelmira

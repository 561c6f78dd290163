#include "video/ring_frame_map.h"

#include <gtest/gtest.h>

#include <cmath>

#include "unwarp/mirror_profile_table.h"
#include "unwarp/row_elevations.h"
#include "unwarp/unwarp_ring.h"

namespace kelmira {
namespace {

constexpr double kPi = 3.141592653589793;

// Every point of the band lies where the mirror model sees that row's elevation and that
// column's azimuth: its distance from the centre, in model units, is a radius whose
// reflected ray has the row's elevation, and its direction is the column's.
TEST(RingFrameMap, EachPointSeesItsRowsElevationAndItsColumnsAzimuth) {
  const VideoRing ring{400.5, 301.25, ringScaleForRadius(290), false};
  const FrameMap map = ringFrameMap(ring, 1024, 800, 600);
  ASSERT_FALSE(map.empty());
  int checked = 0;
  for (std::uint32_t row = map.bandTop(); row < map.bandTop() + map.bandRows(); row += 7) {
    for (std::uint32_t j = 0; j < map.width(); j += 13) {
      const double dx = map.xRow(row)[j] - ring.centreX, dy = map.yRow(row)[j] - ring.centreY;
      const double radius = std::hypot(dx, dy) / ring.scale;
      EXPECT_NEAR(elevationForRadius(radius), map.elevationOfRow(row), 0.02) << row << ", " << j;
      double azimuth = std::atan2(dy, dx);
      if (azimuth < -1e-6) azimuth += 2 * kPi;
      EXPECT_NEAR(azimuth, j * 2 * kPi / map.width(), 1e-4) << row << ", " << j;
      ++checked;
    }
  }
  EXPECT_GT(checked, 1000);
}

// The band runs from the inner edge's elevation (about +17.2 degrees) to the outer edge's
// (about -33.7): the rows whose middles lie between them, black above and below.
TEST(RingFrameMap, TheBandCoversTheMirrorsElevationsAndNoMore) {
  const MirrorProfileTable table = buildMirrorProfileTable();
  const double top = elevationForRadius(table.entries.front().imageRadius);
  const double bottom = elevationForRadius(table.entries.back().imageRadius);
  EXPECT_NEAR(top, 17.2, 0.1);
  EXPECT_NEAR(bottom, -33.7, 0.1);
  for (const std::uint32_t width : {256u, 496u, 1920u, 3840u}) {
    const FrameMap map = ringFrameMap({500, 500, ringScaleForRadius(450), false}, width, 1000, 1000);
    const double rowsPerDegree = (width / 2) / 180.0;
    EXPECT_NEAR(map.bandTop(), (90 - top) * rowsPerDegree, 1.0) << width;
    EXPECT_NEAR(map.bandTop() + map.bandRows(), (90 - bottom) * rowsPerDegree, 1.0) << width;
    EXPECT_LE(map.elevationOfRow(map.bandTop()), top);
    EXPECT_GT(map.elevationOfRow(map.bandTop() - 1.0), top);
    EXPECT_GE(map.elevationOfRow(map.bandTop() + map.bandRows() - 1.0), bottom - 1e-3);
    EXPECT_LT(map.elevationOfRow(map.bandTop() + map.bandRows()), bottom);
  }
}

// The lens thread's frames are mirrored left to right; a ring cut by the frame's edge
// leaves the points past it black.
TEST(RingFrameMap, TheLensThreadMirrorsAndTheFramesEdgeCutsTheRing) {
  const FrameMap plain = ringFrameMap({160, 120, ringScaleForRadius(110), false}, 256, 320, 240);
  const FrameMap mirrored = ringFrameMap({160, 120, ringScaleForRadius(110), true}, 256, 320, 240);
  const std::uint32_t row = plain.bandTop() + 5;
  for (std::uint32_t j = 0; j < 256; ++j) {
    EXPECT_FLOAT_EQ(plain.xRow(row)[j], mirrored.xRow(row)[255 - j]);
    EXPECT_FLOAT_EQ(plain.yRow(row)[j], mirrored.yRow(row)[255 - j]);
  }
  const FrameMap cut = ringFrameMap({300, 120, ringScaleForRadius(110), false}, 256, 320, 240);
  const std::uint32_t last = cut.bandTop() + cut.bandRows() - 1;
  EXPECT_TRUE(std::isnan(cut.xRow(last)[0]));      // looking right, past the frame
  EXPECT_FALSE(std::isnan(cut.xRow(last)[128]));  // looking left, inside it
}

TEST(RingFrameMap, TheDefaultWidthFollowsTheRingInSixteens) {
  // Half way across a ring of outer radius R lies the circle of radius 0.706 R.
  EXPECT_EQ(defaultVideoWidth(110), 496u);
  EXPECT_EQ(defaultVideoWidth(540), 2400u);
  EXPECT_EQ(defaultVideoWidth(20), 256u);
  EXPECT_EQ(defaultVideoWidth(5000), 4096u);
  EXPECT_EQ(defaultVideoWidth(NAN), 256u);
}

}  // namespace
}  // namespace kelmira

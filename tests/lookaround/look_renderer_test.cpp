#include "lookaround/look_renderer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

namespace kelmira {
namespace {

// A panorama one column a degree wide: red climbs 4 a column within stripes 64 columns wide
// (so the seam at 359 | 0 and each stripe's edge show), green tells the row.
struct Pattern {
  std::int32_t width = 360;
  std::int32_t height = 0;
  std::vector<std::uint8_t> pixels;

  Pattern(std::int32_t rows, int greenPerRow) : height(rows), pixels(static_cast<std::size_t>(3) * 360 * rows) {
    for (std::int32_t y = 0; y < rows; ++y) {
      for (std::int32_t x = 0; x < width; ++x) {
        std::uint8_t* p = &pixels[(static_cast<std::size_t>(y) * width + x) * 3];
        p[0] = static_cast<std::uint8_t>(4 * (x % 64));
        p[1] = static_cast<std::uint8_t>(greenPerRow * y);
        p[2] = 50;
      }
    }
  }
  LookPanorama on(const LookSurface& surface) const { return {pixels.data(), width, height, 3 * width, surface}; }
};

constexpr std::int32_t kViewWidth = 200;
constexpr std::int32_t kViewHeight = 100;

struct ViewPixel {
  std::int32_t x, y;
  double red, green;
};

std::vector<std::uint8_t> render(const LookPanorama& panorama, const LookCamera& camera) {
  std::vector<std::uint8_t> view(3 * kViewWidth * kViewHeight);
  LookRenderer renderer;
  EXPECT_TRUE(renderer.render(panorama, camera, view.data(), kViewWidth, kViewHeight, 3 * kViewWidth));
  return view;
}

void expectPixels(const std::vector<std::uint8_t>& view, std::initializer_list<ViewPixel> pixels) {
  for (const ViewPixel& want : pixels) {
    const std::uint8_t* got = &view[(static_cast<std::size_t>(want.y) * kViewWidth + want.x) * 3];
    EXPECT_NEAR(got[0], want.red, 1.0) << "red at " << want.x << ", " << want.y;
    EXPECT_NEAR(got[1], want.green, 1.0) << "green at " << want.x << ", " << want.y;
    EXPECT_EQ(got[2], 50);
  }
}

// The rays worked out by hand for a 200 x 100 view at 90 degrees (focal length 100 pixels):
// pixel (i, j) looks along (x, y, 100) with x = i + 0.5 - 100 and y = 50 - (j + 0.5), turned
// up by the tilt: Y = y cos t + 100 sin t, Z = 100 cos t - y sin t; its azimuth is the pan
// plus atan2(x, Z) and its elevation atan2(Y, hypot(x, Z)).
TEST(LookRenderer, BandOfTheSphereSeenTiltedUp) {
  // +60 to -60 degrees over 121 rows: row = 60 - elevation, green twice the row.
  const Pattern pattern(121, 2);
  const auto view = render(pattern.on(LookSurface::band(60.0, -60.0, 121)), LookCamera{100.0, 20.0, 90.0});
  expectPixels(view, {
                         {99, 49, 142.78, 79.43},   // azimuth 99.6946, elevation 20.2862
                         {10, 5, 205.38, 54.95},    // 51.3439, 32.5244
                         {190, 95, 46.26, 126.89},  // 139.5652, -3.4453
                         {150, 30, 8.19, 64.98},    // 130.0479, 27.5111
                     });
}

TEST(LookRenderer, CylinderSeenTiltedDown) {
  // Tangents 1 to -1 over 201 rows: row = (1 - tan elevation) / 0.01, green the row.
  const Pattern pattern(201, 1);
  const auto view = render(pattern.on(LookSurface::cylinder(1.0, -1.0, 201)), LookCamera{200.0, -15.0, 90.0});
  expectPixels(view, {
                         {99, 49, 30.82, 126.26},  // azimuth 199.7038, elevation -14.7133
                         {5, 90, 97.36, 150.84},   // 152.3404, -26.9501
                         {180, 10, 180.01, 90.82}, // 237.0029, 5.2423
                     });
}

TEST(LookRenderer, WrapsRoundTheSeam) {
  const Pattern pattern(121, 2);
  const LookPanorama panorama = pattern.on(LookSurface::band(60.0, -60.0, 121));
  // Level, pixel (100, 49) looks 0.2865 degrees right of the pan and at elevation
  // atan(0.5 / hypot(0.5, 100)) = 0.2865: at azimuth 359.5 it lies halfway between column
  // 359 (red 4 x 39) and column 0 (red 0); row 59.7135.
  const auto seam = render(panorama, LookCamera{359.2135, 0.0, 90.0});
  expectPixels(seam, {{100, 49, 78.0, 119.43}});
  // A pan and the same pan a turn later or earlier give the same view, which at pan 0
  // reaches across the seam to the last columns on the left.
  EXPECT_EQ(render(panorama, LookCamera{0.0, 0.0, 90.0}), render(panorama, LookCamera{360.0, 0.0, 90.0}));
  EXPECT_EQ(render(panorama, LookCamera{10.0, 5.0, 60.0}), render(panorama, LookCamera{-350.0, 5.0, 60.0}));
  const auto atZero = render(panorama, LookCamera{0.0, 0.0, 90.0});
  // Pixel 0 looks atan(-99.5 / 100) = -44.8565 degrees: azimuth 315.1435, column 315 (red 4 x 59).
  expectPixels(atZero, {{0, 49, 236.57, 119.43}});
}

TEST(LookRenderer, RowsBeyondThePanoramaTakeTheNearestRow) {
  // A camera not limited looks above and below the band (its middle column's top edge at
  // 50 + 26.3 = 76.3 degrees): those rays take the first or last row, never black.
  const Pattern pattern(121, 2);
  const LookPanorama panorama = pattern.on(LookSurface::band(60.0, -60.0, 121));
  const auto up = render(panorama, LookCamera{0.0, 50.0, 90.0});
  const auto down = render(panorama, LookCamera{0.0, -50.0, 90.0});
  for (std::int32_t y = 0; y < 5; ++y) {
    EXPECT_EQ(up[(y * kViewWidth + 100) * 3 + 1], 0) << y;                           // row 0
    EXPECT_EQ(down[((kViewHeight - 1 - y) * kViewWidth + 100) * 3 + 1], 240) << y;  // row 120
  }
  for (std::size_t i = 2; i < up.size(); i += 3) ASSERT_EQ(up[i], 50);
  for (std::size_t i = 2; i < down.size(); i += 3) ASSERT_EQ(down[i], 50);
}

TEST(LookRenderer, RefusesEmptyPanoramaOrView) {
  const Pattern pattern(10, 1);
  LookRenderer renderer;
  std::vector<std::uint8_t> view(3 * 4 * 4);
  LookPanorama empty = pattern.on(LookSurface::band(10.0, -10.0, 10));
  empty.pixels = nullptr;
  EXPECT_FALSE(renderer.render(empty, LookCamera{}, view.data(), 4, 4, 12));
  EXPECT_FALSE(renderer.render(pattern.on(LookSurface::band(10.0, -10.0, 10)), LookCamera{}, view.data(), 0, 4, 12));
  LookPanorama huge = pattern.on(LookSurface::band(10.0, -10.0, 10));
  huge.width = 1 << 23;  // its positions would overflow: refused before a pixel is read
  EXPECT_FALSE(renderer.render(huge, LookCamera{}, view.data(), 4, 4, 12));
}

}  // namespace
}  // namespace kelmira

#include "unwarp/row_elevations.h"

#include <gtest/gtest.h>

#include "image/dib_image.h"
#include "unwarp/mirror_profile_table.h"

namespace kelmira {
namespace {

TEST(RowElevations, TheRingSeesFromSeventeenAboveToThirtyFourBelowFallingAllTheWay) {
  EXPECT_NEAR(elevationForRadius(1.76), 17.2013, 1e-4);       // the panorama's top row
  EXPECT_NEAR(elevationForRadius(4.25996), -33.6584, 1e-4);   // the table's end
  double previous = 90;
  for (double t = 1.76; t < 4.27; t += 0.001) {
    const double elevation = elevationForRadius(t);
    ASSERT_LT(elevation, previous) << t;
    previous = elevation;
  }
  // The rows of an unwarp see the radii of radiusForRow: 60 rows, rows 0, 1, 30 and 59.
  const RowElevations rows = RowElevations::ofUnwarp(60);
  ASSERT_EQ(rows.size(), 60u);
  EXPECT_DOUBLE_EQ(rows.at(0), elevationForRadius(1.76));
  EXPECT_NEAR(rows.at(1), elevationForRadius(1.792831), 1e-4);
  EXPECT_NEAR(rows.at(30), elevationForRadius(2.752386), 1e-4);
  EXPECT_NEAR(rows.at(59), elevationForRadius(4.068672), 1e-4);
  for (std::size_t i = 1; i < rows.size(); ++i) EXPECT_LT(rows.at(i), rows.at(i - 1));
  // rowAt undoes at(), and lands between rows in between.
  EXPECT_DOUBLE_EQ(rows.rowAt(rows.at(17)), 17.0);
  EXPECT_NEAR(rows.rowAt((rows.at(17) + rows.at(18)) / 2), 17.5, 0.01);
  EXPECT_EQ(rows.rowAt(40.0), 0.0);
  EXPECT_EQ(rows.rowAt(-80.0), 59.0);
}

TEST(RowElevations, CropsKeepTheirRowsAndResizesFollowThePicturesRows) {
  const RowElevations rows = RowElevations::ofUnwarp(100);
  const RowElevations kept = rows.cropped(20, 69);
  ASSERT_EQ(kept.size(), 50u);
  EXPECT_EQ(kept.top(), rows.at(20));
  EXPECT_EQ(kept.bottom(), rows.at(69));

  // A picture whose rows hold 0, 5, 10, ... resampled from 52 to 37 rows by the image
  // layer gives the truncated values of the same numbers resampled as elevations.
  const int from = 52, to = 37;
  std::vector<double> values(from);
  DibImage picture;
  ASSERT_EQ(picture.allocate(3, from), ImageError::None);
  std::uint8_t* p = picture.beginAccess();
  for (int y = 0; y < from; ++y) {
    values[y] = 5.0 * y;
    std::fill(p + 9 * y, p + 9 * y + 9, static_cast<std::uint8_t>(5 * y));
  }
  picture.endAccess();
  ASSERT_EQ(picture.resizeTo(3, to), ImageError::None);
  const RowElevations resized = RowElevations(values).resampled(to);
  ASSERT_EQ(resized.size(), static_cast<std::size_t>(to));
  for (int y = 0; y < to; ++y) EXPECT_EQ(static_cast<int>(resized.at(y)), picture.pixels()[9 * y]) << y;
}

}  // namespace
}  // namespace kelmira

#include "movie/rules/movie_size.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "image/dib_image.h"
#include "support/recording_sink.h"

namespace kelmira {
namespace {

using test::RecordingSink;

// The worked sizes: 960 / 1000 x 300 = 288; trunc(288.96) = 288; 302 cut to 300.
TEST(MovieSize, TrimsToTwentyFourTilesOfSidesAMultipleOfFour) {
  struct Case {
    int w, h;
    bool force;
    int expectedW, expectedH;
  };
  for (const Case c : {Case{1000, 300, false, 960, 288}, Case{1000, 301, false, 960, 288},
                       Case{960, 302, false, 960, 300}, Case{960, 300, false, 960, 300},
                       Case{960, 300, true, 960, 300}, Case{191, 50, false, 96, 24}}) {
    DibImage picture;
    ASSERT_EQ(picture.allocate(c.w, c.h), ImageError::None);
    RecordingSink sink;
    EXPECT_EQ(fitToMovieSize(picture, c.w, c.h, c.force, &sink), 1);
    EXPECT_EQ(picture.width(), c.expectedW) << c.w << " x " << c.h;
    EXPECT_EQ(picture.height(), c.expectedH) << c.w << " x " << c.h;
    const bool resampled = c.force || c.w != c.expectedW || c.h != c.expectedH;
    EXPECT_EQ(sink.positions.size(), resampled ? std::size_t(c.expectedH) : 0u);
    EXPECT_EQ(sink.ends, resampled ? 1 : 0);
  }
}

TEST(MovieSize, AHeightThatTrimsToNothingLeavesThePictureAsItWas) {
  // 960 / 1000 x 3 = 2.88, cut to a multiple of 4: no rows at all.
  DibImage picture;
  ASSERT_EQ(picture.allocate(1000, 3), ImageError::None);
  picture.beginAccess()[0] = 77;
  picture.endAccess();
  EXPECT_EQ(fitToMovieSize(picture, 1000, 3, false), 1);
  EXPECT_EQ(picture.width(), 1000);
  EXPECT_EQ(picture.height(), 3);
  EXPECT_EQ(picture.pixels()[0], 77);
}

}  // namespace
}  // namespace kelmira

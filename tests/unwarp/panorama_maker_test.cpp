#include "unwarp/panorama_maker.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "image/dib_image.h"
#include "support/test_files.h"

namespace kelmira {
namespace {

TEST(PanoramaMaker, CircleAndPanoramaSizesFollowThePhotograph) {
  const CropCircle even = initialCropCircle(1600, 1200);
  EXPECT_EQ(even.centreX, 800);
  EXPECT_EQ(even.centreY, 600);
  EXPECT_EQ(even.radius, 480);
  EXPECT_EQ(even.centreHandleSize, 1600);
  const CropCircle odd = initialCropCircle(1601, 1201);
  EXPECT_EQ(odd.centreX, 800);
  EXPECT_EQ(odd.centreY, 600);
  EXPECT_EQ(odd.radius, 479);  // trunc(600 - 120.1)
  EXPECT_EQ(initialCropCircle(1200, 1600).radius, 480);

  EXPECT_EQ(panoramaSizeForRadius(100).width, 376);
  EXPECT_EQ(panoramaSizeForRadius(100).height, 60);
  EXPECT_EQ(panoramaSizeForRadius(1209).width, 4557);
  EXPECT_EQ(panoramaSizeForRadius(1209).height, 725);

  EXPECT_TRUE(looksLikePanorama(3000, 1000));
  EXPECT_FALSE(looksLikePanorama(2000, 1000));  // exactly twice as wide passes
}

TEST(PanoramaMaker, LensThreadGivesTheMirrorImage) {
  DibImage round;
  const auto pixels = test::patternPixels(320, 240);
  ASSERT_EQ(round.copyFromPixels(pixels.data(), 320, 240), ImageError::None);
  DibImage standard;
  DibImage lensThread;
  ASSERT_EQ(makePanoramaImage(round, 160, 120, 100, false, standard), 0);
  ASSERT_EQ(makePanoramaImage(round, 160, 120, 100, true, lensThread), 0);
  ASSERT_EQ(standard.width(), 376);
  ASSERT_EQ(standard.height(), 60);
  ASSERT_EQ(lensThread.width(), 376);
  for (int y = 0; y < 60; ++y)
    for (int x = 0; x < 376; ++x)
      ASSERT_EQ(std::memcmp(standard.pixels() + 3 * (y * 376 + x), lensThread.pixels() + 3 * (y * 376 + 375 - x), 3),
                0)
          << x << "," << y;
  EXPECT_EQ(round.accessCount(), 0);

  DibImage empty;
  EXPECT_EQ(makePanoramaImage(empty, 0, 0, 100, false, standard), -1);
  EXPECT_EQ(standard.width(), 376);  // a refused Make Pano leaves the panorama alone
}

// Copies each row as the listener is told it is finished; a row told finished must
// already hold its final bytes, mirrored for the lens thread too.
class RowCopier : public PanoramaRowListener {
 public:
  void started(const DibImage& panorama) override {
    picture_ = &panorama;
    copies_.assign(3u * panorama.width() * panorama.height(), 0);
  }
  void rowsFinished(std::int32_t rows) override {
    EXPECT_GT(rows, told_);
    const std::size_t stride = 3u * picture_->width();
    std::memcpy(copies_.data() + told_ * stride, picture_->pixels() + told_ * stride, (rows - told_) * stride);
    told_ = rows;
  }
  std::int32_t told() const { return told_; }
  const std::vector<std::uint8_t>& copies() const { return copies_; }

 private:
  const DibImage* picture_ = nullptr;
  std::vector<std::uint8_t> copies_;
  std::int32_t told_ = 0;
};

TEST(PanoramaMaker, AListenerSeesEachRowFinishedAsItStays) {
  DibImage round;
  const auto pixels = test::patternPixels(1203, 901);
  ASSERT_EQ(round.copyFromPixels(pixels.data(), 1203, 901), ImageError::None);
  for (const bool lensThread : {false, true}) {
    SCOPED_TRACE(lensThread ? "lens thread" : "standard");
    DibImage plain;
    DibImage watched;
    RowCopier copier;
    ASSERT_EQ(makePanoramaImage(round, 601, 450, 360, lensThread, plain), 0);
    ASSERT_EQ(makePanoramaImage(round, 601, 450, 360, lensThread, watched, {}, {}, &copier), 0);
    ASSERT_EQ(copier.told(), watched.height());
    const std::size_t bytes = 3u * watched.width() * watched.height();
    EXPECT_EQ(std::memcmp(copier.copies().data(), watched.pixels(), bytes), 0);
    EXPECT_EQ(std::memcmp(plain.pixels(), watched.pixels(), bytes), 0);
  }
}

}  // namespace
}  // namespace kelmira

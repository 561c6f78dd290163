#include "movie/quicktime/gworld.h"

#include <gtest/gtest.h>

#include "movie/quicktime/movie_runtime.h"

namespace kelmira {
namespace {

class GWorldTest : public testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(initializeQtml(), noErr); }
  void TearDown() override { terminateQtml(); }
};

TEST_F(GWorldTest, NewWorldIsWhiteWithAlignedRowsOverItsBounds) {
  GWorldPtr world = nullptr;
  const Rect bounds{-3, 5, 7, 30};  // 25 x 10
  ASSERT_EQ(newGWorld(&world, 0, bounds), noErr);
  PixMapHandle pixMap = getGWorldPixMap(world);
  ASSERT_NE(pixMap, nullptr);
  EXPECT_EQ(pixMap->pixelSize, 32);
  EXPECT_EQ(pixMap->pixelFormat, 0x20u);
  EXPECT_EQ(pixMap->bounds.top, -3);
  EXPECT_EQ(pixMap->bounds.right, 30);
  EXPECT_EQ(pixMap->rowBytes, 112);  // 100 bytes rounded up to 16
  EXPECT_EQ(pixMap->baseAddr[9 * 112 + 24 * 4 + 3], 0xFF);
  EXPECT_EQ(pixMap->baseAddr[0], 0xFF);

  EXPECT_TRUE(lockPixels(pixMap));
  EXPECT_TRUE(lockPixels(pixMap));
  EXPECT_EQ(pixMap->lockCount, 2);
  unlockPixels(pixMap);
  unlockPixels(pixMap);
  unlockPixels(pixMap);
  EXPECT_EQ(pixMap->lockCount, 0);
  disposeGWorld(world);
}

TEST_F(GWorldTest, RefusesWhatItCannotMake) {
  GWorldPtr world = reinterpret_cast<GWorldPtr>(1);
  EXPECT_EQ(newGWorld(&world, 32, Rect{0, 0, 0, 10}), paramErr);
  EXPECT_EQ(world, nullptr);
  EXPECT_EQ(newGWorld(&world, 32, Rect{0, 10, 10, 0}), paramErr);
  EXPECT_EQ(newGWorld(&world, 8, Rect{0, 0, 10, 10}), paramErr);
  EXPECT_EQ(newGWorld(&world, 32, Rect{0, 0, 10, 10}, &world), paramErr);
  EXPECT_EQ(newGWorld(nullptr, 32, Rect{0, 0, 10, 10}), paramErr);
  EXPECT_FALSE(lockPixels(nullptr));
  EXPECT_EQ(getGWorldPixMap(nullptr), nullptr);
  disposeGWorld(nullptr);

  terminateQtml();
  EXPECT_EQ(newGWorld(&world, 32, Rect{0, 0, 10, 10}), qtmlUninitialized);
  ASSERT_EQ(initializeQtml(), noErr);
}

TEST(OffsetRectTest, MovesAllFourSides) {
  Rect rect{0, 0, 2016, 392};
  offsetRect(rect, 0, -84);
  EXPECT_EQ(rect.top, -84);
  EXPECT_EQ(rect.bottom, 1932);
  EXPECT_EQ(rect.left, 0);
  EXPECT_EQ(rect.right, 392);
  offsetRect(rect, 7, 84);
  EXPECT_EQ(rect.top, 0);
  EXPECT_EQ(rect.left, 7);
  EXPECT_EQ(rect.right, 399);
}

}  // namespace
}  // namespace kelmira

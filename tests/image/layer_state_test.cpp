#include "image/layer_state.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace kelmira {
namespace {

TEST(ErrorText, KnownCodesAndTheGenericText) {
  EXPECT_EQ(errorText(static_cast<ImageErrorCode>(0)), "no err");
  EXPECT_EQ(errorText(static_cast<ImageErrorCode>(1)), "out of memory");
  EXPECT_EQ(errorText(static_cast<ImageErrorCode>(6)), "bad BMP file");
  EXPECT_EQ(errorText(static_cast<ImageErrorCode>(14)), "callback returned FALSE - operation aborted");
  EXPECT_EQ(errorText(static_cast<ImageErrorCode>(16)), "internal PNG lib behavior - contact Plimsett s.w.");
  EXPECT_EQ(errorText(static_cast<ImageErrorCode>(29)), "a call to BitBlt failed.");
  EXPECT_EQ(errorText(static_cast<ImageErrorCode>(31)), "not enough room in the output palette to store the colors from this image");
  EXPECT_EQ(errorText(static_cast<ImageErrorCode>(32)), "bad TGA File");
  EXPECT_EQ(errorText(static_cast<ImageErrorCode>(35)), "a call to the fn CreateDIBitmap failed");
  for (std::uint32_t unlisted : {8u, 12u, 33u, 34u, 36u, 37u, 39u, 4000000000u}) {
    EXPECT_EQ(errorText(static_cast<ImageErrorCode>(unlisted)), "Error #" + std::to_string(unlisted) + "!");
  }
}

// A row-by-row operation that runs another one inside itself, as the layer's do.
bool innerOperation(int rows) {
  LayerCall call;
  for (int row = 0; row < rows; ++row)
    if (!call.progress(row, rows)) return false;
  return true;
}

bool outerOperation(int rows, ImageErrorCode failWith = ImageError::None) {
  LayerCall call;
  innerOperation(rows);
  for (int row = 0; row < rows; ++row)
    if (!call.progress(row, rows)) return false;
  if (failWith != ImageError::None) call.fail(failWith);
  return !call.failed();
}

TEST(LayerState, OnlyTheOutermostOperationReportsAndAbortGivesCode14) {
  std::vector<int> rows;
  setProgressCallback([&](std::int32_t current, std::int32_t total) {
    EXPECT_EQ(total, 3);
    rows.push_back(current);
    return true;
  });
  EXPECT_TRUE(outerOperation(3));
  EXPECT_EQ(rows, (std::vector<int>{0, 1, 2}));
  EXPECT_EQ(lastError(), ImageError::None);
  EXPECT_EQ(layerNestingDepth(), 0);

  int calls = 0;
  setProgressCallback([&](std::int32_t, std::int32_t) {
    ++calls;
    return false;
  });
  EXPECT_FALSE(outerOperation(5));
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(lastError(), ImageError::Aborted);

  setProgressCallback({});
  EXPECT_FALSE(outerOperation(2, ImageError::BadBmp));
  EXPECT_EQ(lastError(), ImageError::BadBmp);
  EXPECT_TRUE(outerOperation(2));
  EXPECT_EQ(lastError(), ImageError::None);  // every operation sets the last error, success included
}

TEST(LayerState, ThreadsKeepTheirOwnErrorAndCallback) {
  int mainCalls = 0;
  setProgressCallback([&](std::int32_t, std::int32_t) { return ++mainCalls, true; });
  outerOperation(1, ImageError::BadJpeg);

  ImageErrorCode seenOnOtherThread = static_cast<ImageErrorCode>(-1);
  std::thread other([&] {
    seenOnOtherThread = lastError();
    outerOperation(4);  // no callback installed on this thread
    outerOperation(1, ImageError::BadTiff);
  });
  other.join();
  EXPECT_EQ(seenOnOtherThread, ImageError::None);
  EXPECT_EQ(lastError(), ImageError::BadJpeg);
  EXPECT_EQ(mainCalls, 1);
  setProgressCallback({});
}

}  // namespace
}  // namespace kelmira

#include "unwarp/luma_row.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "support/simd_targets.h"
#include "support/test_files.h"
#include "unwarp/grey_picture.h"

namespace kelmira {
namespace {

class LumaRowOnEachTarget : public test::OnEachSimdTarget {};

TEST_P(LumaRowOnEachTarget, WeighsEveryPixelAsThePlainFormula) {
  for (int count : {1, 7, 64, 203, 1001}) {
    std::vector<std::uint8_t> pixels = test::patternPixels(count, 1, count);
    pixels[0] = pixels[1] = pixels[2] = 255;  // the largest sum, 65280
    std::vector<std::uint16_t> luma(count + 1, 0xABCD);
    unwarp_detail::lumaRow(pixels.data(), count, luma.data());
    for (int i = 0; i < count; ++i) {
      const std::uint8_t* p = &pixels[3 * i];
      ASSERT_EQ(luma[i], 77 * p[0] + 150 * p[1] + 29 * p[2]) << count << " pixels, pixel " << i;
    }
    EXPECT_EQ(luma[count], 0xABCD);  // nothing written past the row
  }
}

KELMIRA_ON_EACH_SIMD_TARGET(LumaRowOnEachTarget);

TEST(GreyPicture, FourBytePixelsReduceAsThreeBytePixels) {
  const int width = 250, height = 90, factor = 5;
  const std::vector<std::uint8_t> three = test::patternPixels(width, height, 9);
  std::vector<std::uint8_t> four(std::size_t(4) * width * height, 0x5A);
  for (std::size_t i = 0; i < std::size_t(width) * height; ++i) std::copy_n(&three[3 * i], 3, &four[4 * i]);
  const GreyPicture a = reduceToGrey(SourceView{three.data(), width, height, 3, 3u * width}, factor);
  const GreyPicture b = reduceToGrey(SourceView{four.data(), width, height, 4, 4u * width}, factor);
  EXPECT_EQ(a.values(), b.values());
}

}  // namespace
}  // namespace kelmira

#include "image/pixel_block.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdint>
#include <fstream>

namespace kelmira {
namespace {

// Resident memory of this process, in bytes.
std::uint64_t residentBytes() {
  std::ifstream statm("/proc/self/statm");
  std::uint64_t size = 0, resident = 0;
  statm >> size >> resident;
  return resident * static_cast<std::uint64_t>(sysconf(_SC_PAGESIZE));
}

TEST(PixelBlock, LargeAndSmallBlocksComeZeroFilledAndWritable) {
  for (const std::int64_t height : {1, 100, 3024}) {
    SCOPED_TRACE(height);
    const std::size_t bytes = pixelBlockBytes(4032, height);
    PixelBlock block = allocatePixelBlock(4032, height);
    ASSERT_TRUE(block);
    for (std::size_t i = 0; i < bytes; i += 4093) ASSERT_EQ(block[i], 0) << i;
    EXPECT_EQ(block[bytes - 1], 0);
    block[0] = 1;
    block[bytes - 1] = 2;  // the last byte belongs to the block
    EXPECT_EQ(block[bytes - 1], 2);
  }
}

// A header that claims the largest picture allowed costs address space, not memory: only
// the rows a decoder writes take pages.
TEST(PixelBlock, AHugeBlockTakesMemoryOnlyWhereWritten) {
  const std::uint64_t before = residentBytes();
  PixelBlock block = allocatePixelBlock(26000, 27000);  // just over 2 GB
  ASSERT_TRUE(block);
  block[0] = 7;
  block[pixelBlockBytes(26000, 27000) - 1] = 7;
  EXPECT_LT(residentBytes() - before, std::uint64_t{64} << 20);
  block.reset();
  EXPECT_FALSE(allocatePixelBlock(30000, 30000));  // beyond the most ever asked for
  EXPECT_FALSE(allocatePixelBlock(0, 10));
}

TEST(PixelBlock, ABudgetRefusesBlocksBeyondItAsIfMemoryRanOut) {
  const PixelBlockBudget budget(std::uint64_t{20} << 20);
  PixelBlock first = allocatePixelBlock(2000, 2000);  // 12 MB: within
  EXPECT_TRUE(first);
  EXPECT_FALSE(allocatePixelBlock(2000, 2000));  // 12 MB more: beyond
  EXPECT_TRUE(allocatePixelBlock(1000, 1000));   // 3 MB: still within
}

}  // namespace
}  // namespace kelmira

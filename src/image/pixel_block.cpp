#include "image/pixel_block.h"

#include <cstdlib>

namespace kelmira {

namespace {
thread_local std::uint64_t* budgetRemaining = nullptr;
}  // namespace

PixelBlockBudget::PixelBlockBudget(std::uint64_t bytes) : remaining_(bytes) { budgetRemaining = &remaining_; }

PixelBlockBudget::~PixelBlockBudget() { budgetRemaining = nullptr; }

std::size_t pixelBlockBytes(std::int64_t width, std::int64_t height) {
  if (width <= 0 || height <= 0) return 0;
  const auto w = static_cast<std::uint64_t>(width);
  const auto h = static_cast<std::uint64_t>(height);
  if (w > kMaxPixelBlockBytes / 3 || h > kMaxPixelBlockBytes / (3 * w)) return 0;
  return static_cast<std::size_t>(3 * w * h);
}

PixelBlock allocatePixelBlock(std::int64_t width, std::int64_t height) {
  const std::size_t bytes = pixelBlockBytes(width, height);
  if (bytes == 0) return nullptr;
  if (budgetRemaining != nullptr) {
    if (bytes > *budgetRemaining) return nullptr;
    *budgetRemaining -= bytes;
  }
  // calloc hands out fresh pages already zeroed without touching them, so a hostile
  // header that claims a huge picture costs address space, not memory, until rows arrive.
  return PixelBlock(static_cast<std::uint8_t*>(std::calloc(bytes, 1)));
}

void PixelBlockDeleter::operator()(std::uint8_t* block) const { std::free(block); }

}  // namespace kelmira

#include "image/pixel_block.h"

#include <sys/mman.h>

#include <cstdlib>

namespace kelmira {

namespace {

thread_local std::uint64_t* budgetRemaining = nullptr;

constexpr std::size_t kHugePageBytes = std::size_t{2} << 20;
constexpr std::size_t kHugePageThreshold = std::size_t{4} << 20;

// The address sanitizer watches heap blocks only, so its builds keep every block there.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kMapLargeBlocks = false;
#else
constexpr bool kMapLargeBlocks = true;
#endif

// A mapping of whole huge pages that starts on a huge-page boundary. Fresh anonymous pages
// read as zero and cost nothing until touched, as calloc's do.
PixelBlock mapHugePageBlock(std::size_t bytes) {
  const std::size_t wanted = (bytes + kHugePageBytes - 1) / kHugePageBytes * kHugePageBytes;
  const std::size_t reserved = wanted + kHugePageBytes;
  void* mapping = mmap(nullptr, reserved, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (mapping == MAP_FAILED) return nullptr;
  const auto first = reinterpret_cast<std::uintptr_t>(mapping);
  const std::uintptr_t start = (first + kHugePageBytes - 1) / kHugePageBytes * kHugePageBytes;
  // The slack on either side of the aligned pages goes back at once.
  if (start > first) munmap(mapping, start - first);
  if (const std::size_t after = first + reserved - (start + wanted); after > 0) {
    munmap(reinterpret_cast<void*>(start + wanted), after);
  }
  auto* block = reinterpret_cast<std::uint8_t*>(start);
  // Only a hint: without huge pages the block still works with small ones.
  madvise(block, wanted, MADV_HUGEPAGE);
  return PixelBlock(block, PixelBlockDeleter{wanted});
}

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
  // Either way fresh pages come zeroed without being touched, so a hostile header that
  // claims a huge picture costs address space, not memory, until rows arrive.
  if (kMapLargeBlocks && bytes >= kHugePageThreshold) return mapHugePageBlock(bytes);
  return PixelBlock(static_cast<std::uint8_t*>(std::calloc(bytes, 1)));
}

void PixelBlockDeleter::operator()(std::uint8_t* block) const {
  if (mappedBytes != 0) {
    munmap(block, mappedBytes);
  } else {
    std::free(block);
  }
}

}  // namespace kelmira

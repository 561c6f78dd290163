#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace kelmira {

// Frees a block the way it was allocated: `mappedBytes` is the size of its own mapping,
// or 0 for a block from the heap.
struct PixelBlockDeleter {
  std::size_t mappedBytes = 0;
  void operator()(std::uint8_t* block) const;
};

// A zero-filled block of 3 x width x height bytes: red, green, blue, top row first,
// rows packed. Blocks made by the codecs are adopted by DibImage as they are.
// Blocks of a few megabytes and more lie on huge-page boundaries with the kernel asked for
// huge pages: a 12-megapixel photograph then costs some twenty page faults, not nine thousand.
using PixelBlock = std::unique_ptr<std::uint8_t[], PixelBlockDeleter>;

// No block larger than this is ever requested.
inline constexpr std::uint64_t kMaxPixelBlockBytes = 2'147'348'478;

// Bytes of a block of the given size, or 0 when a dimension is not positive or the
// block would exceed kMaxPixelBlockBytes (checked without overflow).
std::size_t pixelBlockBytes(std::int64_t width, std::int64_t height);

// A zero-filled block, or null when the size is out of range or memory runs out.
PixelBlock allocatePixelBlock(std::int64_t width, std::int64_t height);

// Running out of memory on purpose: while a budget lives, the blocks this thread
// allocates may add up to `bytes` at most, and any block beyond that is refused as
// if memory had run out. Budgets do not nest.
class PixelBlockBudget {
 public:
  explicit PixelBlockBudget(std::uint64_t bytes);
  ~PixelBlockBudget();
  PixelBlockBudget(const PixelBlockBudget&) = delete;
  PixelBlockBudget& operator=(const PixelBlockBudget&) = delete;

 private:
  std::uint64_t remaining_;
};

}  // namespace kelmira

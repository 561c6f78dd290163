#pragma once

#include <cstdint>
#include <cstdlib>

#include "image/layer_state.h"
#include "image/pixel_block.h"

namespace kelmira::fuzz {

// Every decoder runs with a progress callback installed, so the row reports are
// exercised too.
inline void installProgress() {
  static const bool installed = [] {
    setProgressCallback([](std::int32_t current, std::int32_t total) {
      if (current < 0 || current >= total) std::abort();
      return true;
    });
    return true;
  }();
  static_cast<void>(installed);
}

// A block must hold the picture it claims: reading its first and last bytes lets the
// address sanitizer see a block shorter than width x height x 3. No block, no size.
inline void checkResult(const PixelBlock& pixels, std::int32_t width, std::int32_t height) {
  if (!pixels) {
    if (width != 0 || height != 0) std::abort();
    return;
  }
  if (width <= 0 || height <= 0) std::abort();
  const std::size_t bytes = pixelBlockBytes(width, height);
  if (bytes == 0) std::abort();
  volatile std::uint8_t ends = static_cast<std::uint8_t>(pixels[0] + pixels[bytes - 1]);
  static_cast<void>(ends);
}

}  // namespace kelmira::fuzz

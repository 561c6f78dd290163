#include "image/geometry_ops.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

#include "image/layer_state.h"
#include "image/scratch_buffer.h"

namespace kelmira {

namespace {

void copyPixel(std::uint8_t* to, const std::uint8_t* from) {
  to[0] = from[0];
  to[1] = from[1];
  to[2] = from[2];
}

}  // namespace

bool mirrorRows(std::uint8_t* pixels, std::int32_t width, std::int32_t height) {
  LayerCall call;
  if (pixels == nullptr || width <= 0 || height <= 0) {
    call.fail(ImageError::BadParameter);
    return false;
  }
  const std::size_t stride = 3 * static_cast<std::size_t>(width);
  for (std::int32_t y = 0; y < height; ++y) {
    // Swapping pixels from both ends needs no row copy at all.
    std::uint8_t* left = pixels + static_cast<std::size_t>(y) * stride;
    std::uint8_t* right = left + stride - 3;
    for (; left < right; left += 3, right -= 3) std::swap_ranges(left, left + 3, right);
    if (!call.progress(y, height)) return false;
  }
  return true;
}

bool flipRows(std::uint8_t* pixels, std::int32_t rowBytes, std::int32_t rowCount) {
  LayerCall call;
  if (pixels == nullptr || rowBytes <= 0 || rowCount <= 0) {
    call.fail(ImageError::BadParameter);
    return false;
  }
  const auto stride = static_cast<std::size_t>(rowBytes);
  // Each step exchanges a pair of rows, so a step is what counts as a row here.
  const std::int32_t steps = rowCount / 2 + rowCount % 2;
  for (std::int32_t k = 0; k < steps; ++k) {
    const std::int32_t other = rowCount - 1 - k;
    if (other != k) {
      std::uint8_t* a = pixels + static_cast<std::size_t>(k) * stride;
      std::swap_ranges(a, a + stride, pixels + static_cast<std::size_t>(other) * stride);
    }
    if (!call.progress(k, steps)) return false;
  }
  return true;
}

bool rotate(std::uint8_t* pixels, std::int32_t width, std::int32_t height, int mode) {
  LayerCall call;
  if (pixels == nullptr || width <= 0 || height <= 0 || mode < 0 || mode > 2) {
    call.fail(ImageError::BadParameter);
    return false;
  }
  const std::size_t srcStride = 3 * static_cast<std::size_t>(width);
  const std::size_t bytes = srcStride * static_cast<std::size_t>(height);
  auto copy = detail::tryAllocate<std::uint8_t>(bytes);
  if (!copy) {
    call.fail(ImageError::OutOfMemory);
    return false;
  }
  std::memcpy(copy.get(), pixels, bytes);
  const std::uint8_t* source = copy.get();

  if (mode == 1) {
    for (std::int32_t row = 0; row < height; ++row) {
      std::uint8_t* out = pixels + static_cast<std::size_t>(row) * srcStride;
      const std::uint8_t* in = source + static_cast<std::size_t>(height - 1 - row) * srcStride;
      for (std::int32_t x = width - 1; x >= 0; --x, out += 3) {
        copyPixel(out, in + 3 * static_cast<std::size_t>(x));
      }
      if (!call.progress(row, height)) return false;
    }
    return true;
  }

  // The turned picture is height pixels wide; its row r is source column r (mode 0,
  // read bottom to top) or source column width - 1 - r (mode 2, read top to bottom).
  const std::size_t dstStride = 3 * static_cast<std::size_t>(height);
  for (std::int32_t row = 0; row < width; ++row) {
    std::uint8_t* out = pixels + static_cast<std::size_t>(row) * dstStride;
    const std::int32_t x = mode == 0 ? row : width - 1 - row;
    const std::uint8_t* column = source + 3 * static_cast<std::size_t>(x);
    for (std::int32_t c = 0; c < height; ++c, out += 3) {
      const std::int32_t y = mode == 0 ? height - 1 - c : c;
      copyPixel(out, column + static_cast<std::size_t>(y) * srcStride);
    }
    if (!call.progress(row, width)) return false;
  }
  return true;
}

bool copyRect(const std::uint8_t* src, std::uint8_t* dst, std::int32_t srcWidth, std::int32_t srcHeight,
              std::int32_t bytesPerPixel, std::int32_t left, std::int32_t top, std::int32_t right,
              std::int32_t bottom) {
  LayerCall call;
  // Checking each edge against the source also rules out a rectangle wider or taller
  // than the source, and any read outside it.
  if (src == nullptr || dst == nullptr || src == dst || srcWidth <= 0 || srcHeight <= 0 || bytesPerPixel <= 0 ||
      left < 0 || top < 0 || left >= right || top >= bottom || right > srcWidth || bottom > srcHeight) {
    call.fail(ImageError::BadParameter);
    return false;
  }
  const auto pixelBytes = static_cast<std::size_t>(bytesPerPixel);
  const std::size_t srcStride = static_cast<std::size_t>(srcWidth) * pixelBytes;
  const std::size_t rowBytes = static_cast<std::size_t>(right - left) * pixelBytes;
  const std::int32_t rows = bottom - top;
  const std::uint8_t* in =
      src + static_cast<std::size_t>(top) * srcStride + static_cast<std::size_t>(left) * pixelBytes;
  for (std::int32_t row = 0; row < rows; ++row) {
    // memmove: the caller may hand two views of one allocation.
    std::memmove(dst + static_cast<std::size_t>(row) * rowBytes, in + static_cast<std::size_t>(row) * srcStride,
                 rowBytes);
    if (!call.progress(row, rows)) return false;
  }
  return true;
}

}  // namespace kelmira

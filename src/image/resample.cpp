#include "image/resample.h"

#include <algorithm>
#include <cstddef>

#include "image/layer_state.h"
#include "image/scratch_buffer.h"

namespace kelmira {

namespace {

// Where one destination column reads its two source pixels and how it weighs them.
// This depends on the column only, so it is worked out once for all rows.
struct ColumnTap {
  std::size_t left = 0;      // byte offset of source column x0
  std::size_t right = 0;     // byte offset of source column x1
  double leftWeight = 0.0;   // x0 + 1 - x
  double rightWeight = 0.0;  // x - x0
};

void interpolateRow(const std::uint8_t* srcRow, const ColumnTap* taps, std::int32_t dstWidth, double* out) {
  for (std::int32_t j = 0; j < dstWidth; ++j, out += 3) {
    const ColumnTap& tap = taps[j];
    const std::uint8_t* a = srcRow + tap.left;
    const std::uint8_t* b = srcRow + tap.right;
    for (int c = 0; c < 3; ++c) out[c] = b[c] * tap.rightWeight + a[c] * tap.leftWeight;
  }
}

}  // namespace

bool resample(const std::uint8_t* src, std::int32_t srcWidth, std::int32_t srcHeight, std::uint8_t* dst,
              std::int32_t dstWidth, std::int32_t dstHeight) {
  LayerCall call;
  if (src == nullptr || dst == nullptr || srcWidth <= 0 || srcHeight <= 0 || dstWidth <= 0 || dstHeight <= 0) {
    call.fail(ImageError::BadParameter);
    return false;
  }
  const std::size_t srcStride = 3 * static_cast<std::size_t>(srcWidth);
  const std::size_t dstStride = 3 * static_cast<std::size_t>(dstWidth);
  auto taps = detail::tryAllocate<ColumnTap>(static_cast<std::size_t>(dstWidth));
  auto rows = detail::tryAllocate<double>(2 * dstStride);
  if (!taps || !rows) {
    call.fail(ImageError::OutOfMemory);
    return false;
  }

  for (std::int32_t j = 0; j < dstWidth; ++j) {
    const double x = resamplePosition(j, srcWidth, dstWidth);
    const auto x0 = static_cast<std::int32_t>(x);
    const std::int32_t x1 = std::min(x0 + 1, srcWidth - 1);
    taps[j] = {3 * static_cast<std::size_t>(x0), 3 * static_cast<std::size_t>(x1), (x0 + 1) - x, x - x0};
  }

  // Two interpolated source rows are kept; when enlarging, neighbouring destination
  // rows share them, so each source row is interpolated about once.
  double* buffers[2] = {rows.get(), rows.get() + dstStride};
  std::int32_t held[2] = {-1, -1};
  auto sourceRow = [&](std::int32_t y, std::int32_t keep) -> const double* {
    for (int b = 0; b < 2; ++b) {
      if (held[b] == y) return buffers[b];
    }
    const int b = held[0] == keep ? 1 : 0;
    interpolateRow(src + static_cast<std::size_t>(y) * srcStride, taps.get(), dstWidth, buffers[b]);
    held[b] = y;
    return buffers[b];
  };

  for (std::int32_t i = 0; i < dstHeight; ++i) {
    const double y = resamplePosition(i, srcHeight, dstHeight);
    const auto y0 = static_cast<std::int32_t>(y);
    const std::int32_t y1 = std::min(y0 + 1, srcHeight - 1);
    const double* row0 = sourceRow(y0, y1);
    const double* row1 = sourceRow(y1, y0);
    const double w0 = (y0 + 1) - y;
    const double w1 = y - y0;
    std::uint8_t* out = dst + static_cast<std::size_t>(i) * dstStride;
    for (std::size_t k = 0; k < dstStride; ++k) {
      out[k] = static_cast<std::uint8_t>(static_cast<std::int32_t>(w0 * row0[k] + w1 * row1[k]));
    }
    if (!call.progress(i, dstHeight)) return false;
  }
  return true;
}

}  // namespace kelmira

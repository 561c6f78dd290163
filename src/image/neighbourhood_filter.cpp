#include "image/neighbourhood_filter.h"

#include <algorithm>
#include <cstddef>

#include "image/layer_state.h"
#include "image/sharpen_row.h"

namespace kelmira {

namespace {

// Runs op for every byte of one row. op gets the three source rows and the byte offsets
// of the left neighbour, the byte itself and the right neighbour; at the ends of the row
// the neighbour offset is the byte's own, which repeats the edge column.
template <typename Op>
void filterRow(const std::uint8_t* up, const std::uint8_t* mid, const std::uint8_t* down, std::uint8_t* out,
               std::int32_t width, const Op& op) {
  const std::size_t last = 3 * static_cast<std::size_t>(width - 1);
  for (std::size_t c = 0; c < 3; ++c) {
    out[c] = op(up, mid, down, c, c, width > 1 ? c + 3 : c);
  }
  for (std::size_t i = 3; i < last; ++i) out[i] = op(up, mid, down, i - 3, i, i + 3);
  if (width > 1) {
    for (std::size_t i = last; i < last + 3; ++i) out[i] = op(up, mid, down, i - 3, i, i);
  }
}

// Runs rowOp(up, mid, down, out) for every row, the edge rows repeated outward.
template <typename RowOp>
bool eachRow(LayerCall& call, const std::uint8_t* src, std::uint8_t* dst, std::int32_t width, std::int32_t height,
             const RowOp& rowOp) {
  const std::size_t stride = 3 * static_cast<std::size_t>(width);
  auto row = [&](std::int32_t y) { return src + static_cast<std::size_t>(y) * stride; };
  for (std::int32_t y = 0; y < height; ++y) {
    rowOp(row(std::max(y - 1, 0)), row(y), row(std::min(y + 1, height - 1)),
          dst + static_cast<std::size_t>(y) * stride);
    if (!call.progress(y, height)) return false;
  }
  return true;
}

template <typename Op>
bool filterRows(LayerCall& call, const std::uint8_t* src, std::uint8_t* dst, std::int32_t width, std::int32_t height,
                const Op& op) {
  return eachRow(call, src, dst, width, height,
                 [&](const std::uint8_t* up, const std::uint8_t* mid, const std::uint8_t* down, std::uint8_t* out) {
                   filterRow(up, mid, down, out, width, op);
                 });
}

int neighbourSum(const std::uint8_t* up, const std::uint8_t* mid, const std::uint8_t* down, std::size_t l,
                 std::size_t i, std::size_t r) {
  return up[l] + up[i] + up[r] + mid[l] + mid[r] + down[l] + down[i] + down[r];
}

// Byte min and max by value, which the vectoriser turns into packed instructions.
std::uint8_t lower(std::uint8_t a, std::uint8_t b) { return b < a ? b : a; }
std::uint8_t higher(std::uint8_t a, std::uint8_t b) { return a < b ? b : a; }

std::uint8_t medianOfThree(std::uint8_t a, std::uint8_t b, std::uint8_t c) {
  return higher(lower(a, b), lower(higher(a, b), c));
}

// With each column of three in order, the median of the nine is the median of the
// largest column minimum, the middle column median and the smallest column maximum.
// Inlined into the row loop so that loop can be vectorised.
[[gnu::always_inline]] inline std::uint8_t medianOfNine(const std::uint8_t* up, const std::uint8_t* mid,
                                                        const std::uint8_t* down, std::size_t l, std::size_t i,
                                                        std::size_t r) {
  const std::uint8_t lowest = higher(higher(lower(lower(up[l], mid[l]), down[l]), lower(lower(up[i], mid[i]), down[i])),
                                     lower(lower(up[r], mid[r]), down[r]));
  const std::uint8_t highest =
      lower(lower(higher(higher(up[l], mid[l]), down[l]), higher(higher(up[i], mid[i]), down[i])),
            higher(higher(up[r], mid[r]), down[r]));
  const std::uint8_t middle =
      medianOfThree(medianOfThree(up[l], mid[l], down[l]), medianOfThree(up[i], mid[i], down[i]),
                    medianOfThree(up[r], mid[r], down[r]));
  return medianOfThree(lowest, middle, highest);
}

}  // namespace

bool sharpen(const std::uint8_t* src, std::uint8_t* dst, std::int32_t width, std::int32_t height, std::int32_t level,
             FilterKind kind) {
  LayerCall call;
  const int kindNumber = static_cast<int>(kind);
  if (src == nullptr || dst == nullptr || src == dst || width <= 0 || height <= 0 || kindNumber < 0 || kindNumber > 2) {
    call.fail(ImageError::BadParameter);
    return false;
  }
  level = std::clamp(level, 0, 100);
  const double k = kind == FilterKind::Sharpen ? level * 0.005 : level * 0.01;

  switch (kind) {
    case FilterKind::Sharpen:
      return eachRow(call, src, dst, width, height,
                     [&](const std::uint8_t* up, const std::uint8_t* mid, const std::uint8_t* down, std::uint8_t* out) {
                       image_detail::sharpenRow(up, mid, down, out, static_cast<std::size_t>(width), k);
                     });
    case FilterKind::Soften: {
      const double keep = 1 - k;
      return filterRows(call, src, dst, width, height,
                        [k, keep](const std::uint8_t* up, const std::uint8_t* mid, const std::uint8_t* down,
                                  std::size_t l, std::size_t i, std::size_t r) {
                          const int n = neighbourSum(up, mid, down, l, i, r);
                          const double v = k * (n / 8) + keep * mid[i];
                          return static_cast<std::uint8_t>(static_cast<int>(v));
                        });
    }
    case FilterKind::Median:
      return filterRows(call, src, dst, width, height,
                        [](const std::uint8_t* up, const std::uint8_t* mid, const std::uint8_t* down, std::size_t l,
                           std::size_t i, std::size_t r) { return medianOfNine(up, mid, down, l, i, r); });
  }
  return false;
}

}  // namespace kelmira

// The remap's kernel, compiled once for each vector target and chosen at run time.
#include "mirror/round_remap_kernel.h"

#include <algorithm>
#include <cstddef>
#include <limits>

#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "mirror/round_remap_kernel.cpp"
#include <hwy/foreach_target.h>  // IWYU pragma: keep
// foreach_target.h comes before highway.h
#include <hwy/cache_control.h>
#include <hwy/highway.h>

#include "base/simd_target.h"
#include "unwarp/bilinear_blend-inl.h"

HWY_BEFORE_NAMESPACE();
namespace kelmira::mirror_detail::HWY_NAMESPACE {
namespace hn = hwy::HWY_NAMESPACE;
using namespace kelmira::bilinear::HWY_NAMESPACE;  // NOLINT: the blend's vocabulary

// Eight points from xs and ys, which hold at least kGroup floats.
HWY_INLINE void RemapGroup(const SourceBytes& s, const float* xs, const float* ys, std::uint8_t* out,
                           std::uint32_t count) {
  const DF df;
  const DU du;
  const hn::Rebind<float, DF> d32;
  HWY_ALIGN std::uint64_t pixels[kGroup];
  for (std::size_t v = 0; v < kGroup; v += hn::Lanes(df)) {
    const VF x = hn::PromoteTo(df, hn::LoadU(d32, xs + v));
    const VF y = hn::PromoteTo(df, hn::LoadU(d32, ys + v));
    hn::Store(Blend(s, PointsAt(s, x, y)), du, pixels + v);
  }
  StoreGroup(pixels, out, count);
}

// The group of one row at column j; the last group of a row made up to eight with points
// that sample nothing.
HWY_INLINE void RemapAt(const SourceBytes& s, const SourceMap& map, std::uint32_t row, std::uint32_t j,
                        std::uint8_t* out) {
  const std::uint32_t count = std::min<std::uint32_t>(kGroup, map.width() - j);
  if (count == kGroup) {
    RemapGroup(s, map.xRow(row) + j, map.yRow(row) + j, out, kGroup);
    return;
  }
  float xs[kGroup];
  float ys[kGroup];
  std::fill_n(xs, kGroup, std::numeric_limits<float>::quiet_NaN());
  std::fill_n(ys, kGroup, std::numeric_limits<float>::quiet_NaN());
  std::copy_n(map.xRow(row) + j, count, xs);
  std::copy_n(map.yRow(row) + j, count, ys);
  RemapGroup(s, xs, ys, out, count);
}

// Asks for the source pixels a group will read before it reads them: a row of the map runs
// round a circle of the photograph, which the processor cannot foresee.
HWY_INLINE void PrefetchGroup(const SourceBytes& s, const SourceMap& map, std::uint32_t row, std::uint32_t j) {
  const float* xs = map.xRow(row) + j;
  const float* ys = map.yRow(row) + j;
  for (std::size_t i = 0; i < kGroup; ++i) {
    // Points outside (or NaN) are moved into the source: their pixels are never read.
    const double x = xs[i] >= 0 ? std::min<double>(xs[i], hn::GetLane(s.maxX)) : 0.0;
    const double y = ys[i] >= 0 ? std::min<double>(ys[i], hn::GetLane(s.maxY)) : 0.0;
    const auto offset = static_cast<std::int64_t>(y) * s.stride + 3 * static_cast<std::int64_t>(x);
    hwy::Prefetch(s.from + offset);
    hwy::Prefetch(s.from + offset + s.stride);
  }
}

// How many columns ahead the source pixels are asked for.
constexpr std::uint32_t kPrefetchColumns = 24;

void RemapBand(const RemapSource& source, const SourceMap& map, std::uint32_t firstRow, std::uint32_t rowCount,
               std::uint8_t* panorama) {
  const SourceBytes s = sourceBytes(source.pixels, source.width, source.height, source.stride);
  const std::size_t rowBytes = std::size_t{3} * map.width();
  const std::uint32_t endRow = firstRow + rowCount;
  for (std::uint32_t j = 0; j < map.width(); j += kGroup) {
    if (j + kPrefetchColumns + kGroup <= map.width()) {
      PrefetchGroup(s, map, firstRow, j + kPrefetchColumns);
      PrefetchGroup(s, map, endRow - 1, j + kPrefetchColumns);
    }
    for (std::uint32_t row = firstRow; row < endRow; ++row) RemapAt(s, map, row, j, panorama + row * rowBytes + 3 * j);
  }
}

}  // namespace kelmira::mirror_detail::HWY_NAMESPACE
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
namespace kelmira::mirror_detail {

HWY_EXPORT(RemapBand);

void remapBand(const RemapSource& source, const SourceMap& map, std::uint32_t firstRow, std::uint32_t rowCount,
               std::uint8_t* panorama) {
  applySimdSetting();
  HWY_DYNAMIC_DISPATCH(RemapBand)(source, map, firstRow, rowCount, panorama);
}

}  // namespace kelmira::mirror_detail
#endif

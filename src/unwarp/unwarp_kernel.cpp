// The unwarp's kernel, compiled once for each vector target and chosen at run time.
#include "unwarp/unwarp_kernel.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "unwarp/unwarp_kernel.cpp"
#include <hwy/foreach_target.h>  // IWYU pragma: keep
// foreach_target.h comes before highway.h
#include <hwy/cache_control.h>
#include <hwy/highway.h>

#include "base/simd_target.h"
#include "unwarp/bilinear_blend-inl.h"

HWY_BEFORE_NAMESPACE();
namespace kelmira::unwarp_detail::HWY_NAMESPACE {
namespace hn = hwy::HWY_NAMESPACE;
using namespace kelmira::bilinear::HWY_NAMESPACE;  // NOLINT: the blend's vocabulary

static_assert(kGroup == RingGeometry::kGroupColumns);
// How many columns ahead the source pixels are asked for.
constexpr std::uint32_t kPrefetchColumns = 24;

// What every group of a band shares.
struct Band {
  const RingGeometry& geometry;
  SourceBytes source;
  std::uint8_t* to;
  std::size_t rowBytes;
  VF scale, centreX, centreY;
};

// Where `Lanes` columns from j of one row sample the source.
HWY_INLINE Points Locate(const Band& k, VF t, std::size_t j) {
  const DF df;
  const VF x = hn::Add(hn::Mul(hn::Mul(t, hn::LoadU(df, k.geometry.cosines() + j)), k.scale), k.centreX);
  const VF y = hn::Add(hn::Mul(hn::Mul(t, hn::LoadU(df, k.geometry.sines() + j)), k.scale), k.centreY);
  return PointsAt(k.source, x, y);
}

// `count` (up to eight) pixels of one row from column j.
HWY_INLINE void RenderGroup(const Band& k, std::uint32_t row, std::uint32_t j, std::uint32_t count) {
  const DF df;
  const DU du;
  const VF t = hn::Set(df, k.geometry.rowRadius(row));
  HWY_ALIGN std::uint64_t pixels[kGroup];
  for (std::size_t v = 0; v < kGroup; v += hn::Lanes(df)) hn::Store(Blend(k.source, Locate(k, t, j + v)), du, pixels + v);
  StoreGroup(pixels, k.to + row * k.rowBytes + std::size_t{3} * j, count);
}

// Asks for the source pixels of the group at column j of one row before they are read: the
// reads follow circles through the source, which the processor cannot foresee.
HWY_INLINE void PrefetchGroup(const Band& k, std::uint32_t row, std::uint32_t j) {
  const DF df;
  const DU du;
  const VF t = hn::Set(df, k.geometry.rowRadius(row));
  for (std::size_t v = 0; v < kGroup; v += hn::Lanes(df)) {
    HWY_ALIGN std::uint64_t at[kGroup];
    hn::Store(WholeBits(Locate(k, t, j + v).offset), du, at);
    for (std::size_t i = 0; i < hn::Lanes(df); ++i) {
      hwy::Prefetch(k.source.from + at[i]);
      hwy::Prefetch(k.source.from + at[i] + k.source.stride);
    }
  }
}

void RenderBand(const RingGeometry& geometry, std::uint32_t firstRow, std::uint32_t rowCount) {
  const DF df;
  const SourceView& source = geometry.source();
  const ImageView& target = geometry.target();
  const Band k{geometry,
               sourceBytes(source.pixels, source.width, source.height, source.stride),
               target.pixels,
               std::size_t{3} * target.width,
               hn::Set(df, geometry.scale()),
               hn::Set(df, geometry.centreX()),
               hn::Set(df, geometry.centreY())};
  const std::uint32_t endRow = firstRow + rowCount;
  const std::uint32_t padded = geometry.paddedWidth();
  for (std::uint32_t j = 0; j < target.width; j += kGroup) {
    if (j + kPrefetchColumns + kGroup <= padded) {
      PrefetchGroup(k, firstRow, j + kPrefetchColumns);
      PrefetchGroup(k, endRow - 1, j + kPrefetchColumns);
    }
    const std::uint32_t count = std::min<std::uint32_t>(kGroup, target.width - j);
    for (std::uint32_t row = firstRow; row < endRow; ++row) RenderGroup(k, row, j, count);
  }
}

}  // namespace kelmira::unwarp_detail::HWY_NAMESPACE
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
namespace kelmira::unwarp_detail {

HWY_EXPORT(RenderBand);

void renderUnwarpBand(const RingGeometry& geometry, std::uint32_t firstRow, std::uint32_t rowCount) {
  applySimdSetting();
  HWY_DYNAMIC_DISPATCH(RenderBand)(geometry, firstRow, rowCount);
}

}  // namespace kelmira::unwarp_detail
#endif

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

HWY_BEFORE_NAMESPACE();
namespace kelmira::unwarp_detail::HWY_NAMESPACE {
namespace hn = hwy::HWY_NAMESPACE;

constexpr std::size_t kGroup = RingGeometry::kGroupColumns;
// How many columns ahead the source pixels are asked for.
constexpr std::uint32_t kPrefetchColumns = 24;
// 2^52: a whole number below it added to this has its bits as the low bits of the sum's.
constexpr double kTwo52 = 4503599627370496.0;
constexpr std::uint64_t kTwo52Bits = 0x4330000000000000;

using DF = hn::CappedTag<double, kGroup>;
using DU = hn::RebindToUnsigned<DF>;
using VF = hn::Vec<DF>;
using VU = hn::Vec<DU>;
using MF = hn::Mask<DF>;

// What every group of a band shares.
struct Band {
  const RingGeometry& geometry;
  const std::uint8_t* from;
  std::int64_t sourceBytes;
  std::int64_t stride;
  std::uint8_t* to;
  std::size_t rowBytes;
  VF scale, centreX, centreY, maxX, maxY, strideD, three, furthest;
};

// Toward zero, for values above -1 and below 2^52 (sample points inside, blended bytes).
HWY_INLINE VF TruncSmall(VF v) {
#if HWY_TARGET == HWY_SSSE3
  // Without SSE4's rounding instruction: the nearest whole number, less one if it is above.
  const DF df;
  const VF x = hn::Max(v, hn::Zero(df));
  const VF two52 = hn::Set(df, kTwo52);
  const VF nearest = hn::Sub(hn::Add(x, two52), two52);
  return hn::Sub(nearest, hn::IfThenElseZero(hn::Gt(nearest, x), hn::Set(df, 1.0)));
#elif HWY_TARGET == HWY_SCALAR
  return hn::Set(DF(), static_cast<double>(static_cast<std::int64_t>(hn::GetLane(v))));
#else
  return hn::Trunc(v);
#endif
}

// Where `Lanes` columns from j of one row sample the source: the byte offset of each
// top-left neighbour, the fractions towards the next column and row, and which points lie
// inside the source. Points outside sample the first pixel. Offsets are whole numbers below
// the source's size, so doubles hold them exactly.
struct Points {
  MF inside;
  VF fx, fy, offset;
};

HWY_INLINE Points Locate(const Band& k, VF t, std::size_t j) {
  const DF df;
  const VF x = hn::Add(hn::Mul(hn::Mul(t, hn::LoadU(df, k.geometry.cosines() + j)), k.scale), k.centreX);
  const VF y = hn::Add(hn::Mul(hn::Mul(t, hn::LoadU(df, k.geometry.sines() + j)), k.scale), k.centreY);
  const VF zero = hn::Zero(df);
  Points p;
  p.inside = hn::And(hn::And(hn::Ge(x, zero), hn::Ge(y, zero)), hn::And(hn::Le(x, k.maxX), hn::Le(y, k.maxY)));
  const VF xs = hn::IfThenElseZero(p.inside, x);
  const VF ys = hn::IfThenElseZero(p.inside, y);
  const VF x0 = TruncSmall(xs);
  const VF y0 = TruncSmall(ys);
  p.fx = hn::Sub(xs, x0);
  p.fy = hn::Sub(ys, y0);
  p.offset = hn::Add(hn::Mul(y0, k.strideD), hn::Mul(x0, k.three));
  return p;
}

// A whole number below 2^52 held in a double, as an integer.
HWY_INLINE VU WholeBits(VF whole) {
  const DU du;
  return hn::And(hn::BitCast(du, hn::Add(whole, hn::Set(DF(), kTwo52))), hn::Set(du, (std::uint64_t{1} << 52) - 1));
}

// The 8-byte words at from + at[i], one a lane: plain loads put together, which here beat
// the processors' gathers.
template <class D>
HWY_INLINE hn::Vec<D> Words(D d, const std::uint8_t* from, const std::uint64_t* at) {
#if HWY_TARGET == HWY_SCALAR || HWY_HAVE_SCALABLE
  HWY_ALIGN std::uint64_t words[kGroup];
  for (std::size_t i = 0; i < hn::Lanes(d); ++i) std::memcpy(&words[i], from + at[i], 8);
  return hn::Load(d, words);
#else
  if constexpr (hn::MaxLanes(d) == 1) {
    return hn::LoadU(d, reinterpret_cast<const std::uint64_t*>(from + at[0]));
  } else {
    const hn::Half<D> dh;
    return hn::Combine(d, Words(dh, from, at + hn::MaxLanes(dh)), Words(dh, from, at));
  }
#endif
}

// The same near the source's end: bytes past it read as 0. They only ever stand for
// neighbours beyond the last column or row, which a point exactly on that column or row
// weighs with 0.
HWY_INLINE VU WordsNearEnd(const Band& k, const std::uint64_t* at, std::int64_t rowOffset) {
  const DU du;
  HWY_ALIGN std::uint64_t words[kGroup] = {};
  for (std::size_t i = 0; i < hn::Lanes(du); ++i) {
    const std::int64_t o = static_cast<std::int64_t>(at[i]) + rowOffset;
    const std::int64_t n = std::clamp<std::int64_t>(k.sourceBytes - o, 0, 8);
    if (n > 0) std::memcpy(&words[i], k.from + o, static_cast<std::size_t>(n));
  }
  return hn::Load(du, words);
}

#if HWY_TARGET == HWY_SCALAR
HWY_INLINE VU Marked(VU words) { return words; }

// Byte kPosition of each word as the double 2^52 + byte.
template <int kPosition>
HWY_INLINE VF Byte(VU words) {
  const DU du;
  return hn::BitCast(DF(),
                     hn::Or(hn::And(hn::ShiftRight<8 * kPosition>(words), hn::Set(du, 0xFF)), hn::Set(du, kTwo52Bits)));
}
#else
// The words with their top two bytes, which no pixel of theirs uses, those of 2^52.
HWY_INLINE VU Marked(VU words) {
  const DU du;
  return hn::Or(hn::And(words, hn::Set(du, (std::uint64_t{1} << 48) - 1)), hn::Set(du, kTwo52Bits));
}

// Byte kPosition of each marked word as the double 2^52 + byte: one byte shuffle.
template <int kPosition>
HWY_INLINE VF Byte(VU marked) {
  const hn::Repartition<std::uint8_t, DU> d8;
  constexpr std::uint8_t kZero = 0x80;
  alignas(16) static constexpr std::uint8_t kIndex[16] = {kPosition,     kZero, kZero, kZero, kZero, kZero, 6,  7,
                                                          8 + kPosition, kZero, kZero, kZero, kZero, kZero, 14, 15};
  return hn::BitCast(DF(), hn::TableLookupBytesOr0(marked, hn::LoadDup128(d8, kIndex)));
}
#endif

// One channel blended: A + (B - A) x fx + (C - A) x fy + (A - B - C + D) x fx x fy, in that
// order, and truncated. The corners come as 2^52 + value, so their differences are exact.
template <int kChannel>
HWY_INLINE VF Channel(VU top, VU bottom, VF fx, VF fy) {
  const VF a = Byte<kChannel>(top);
  const VF b = Byte<kChannel + 3>(top);
  const VF c = Byte<kChannel>(bottom);
  const VF d = Byte<kChannel + 3>(bottom);
  const VF ba = hn::Sub(b, a);
  const VF ca = hn::Sub(c, a);
  const VF abcd = hn::Sub(hn::Sub(d, c), ba);  // whole numbers: exact in any order
  VF v = hn::Add(hn::Sub(a, hn::Set(DF(), kTwo52)), hn::Mul(ba, fx));
  v = hn::Add(v, hn::Mul(ca, fy));
  v = hn::Add(v, hn::Mul(hn::Mul(abcd, fx), fy));
  return TruncSmall(v);
}

// `count` (up to eight) pixels of one row from column j.
HWY_INLINE void RenderGroup(const Band& k, std::uint32_t row, std::uint32_t j, std::uint32_t count) {
  const DF df;
  const DU du;
  const VF t = hn::Set(df, k.geometry.rowRadius(row));
  HWY_ALIGN std::uint64_t pixels[kGroup];
  for (std::size_t v = 0; v < kGroup; v += hn::Lanes(df)) {
    const Points p = Locate(k, t, j + v);
    HWY_ALIGN std::uint64_t at[kGroup];
    hn::Store(WholeBits(p.offset), du, at);
    // The lower row's word ends 8 + stride bytes on.
    const bool clear = hn::AllFalse(df, hn::Gt(p.offset, k.furthest));
    const VU top = Marked(clear ? Words(du, k.from, at) : WordsNearEnd(k, at, 0));
    const VU bottom = Marked(clear ? Words(du, k.from + k.stride, at) : WordsNearEnd(k, at, k.stride));
    const VF red = Channel<0>(top, bottom, p.fx, p.fy);
    const VF green = Channel<1>(top, bottom, p.fx, p.fy);
    const VF blue = Channel<2>(top, bottom, p.fx, p.fy);
    // The three bytes as one whole number, exact in a double; points outside are black.
    const VF rgb = hn::Add(hn::Add(red, hn::Mul(green, hn::Set(df, 256.0))), hn::Mul(blue, hn::Set(df, 65536.0)));
    const VU packed = hn::IfThenElseZero(hn::RebindMask(du, p.inside), WholeBits(rgb));
    hn::Store(packed, du, pixels + v);
  }
  std::uint64_t bytes[3];
  bytes[0] = pixels[0] | pixels[1] << 24 | pixels[2] << 48;
  bytes[1] = pixels[2] >> 16 | pixels[3] << 8 | pixels[4] << 32 | pixels[5] << 56;
  bytes[2] = pixels[5] >> 8 | pixels[6] << 16 | pixels[7] << 40;
  std::uint8_t* out = k.to + row * k.rowBytes + std::size_t{3} * j;
  if (count == kGroup) {
    std::memcpy(out, bytes, sizeof bytes);
  } else {
    std::memcpy(out, bytes, std::size_t{3} * count);
  }
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
      hwy::Prefetch(k.from + at[i]);
      hwy::Prefetch(k.from + at[i] + k.stride);
    }
  }
}

void RenderBand(const RingGeometry& geometry, std::uint32_t firstRow, std::uint32_t rowCount) {
  const DF df;
  const SourceView& source = geometry.source();
  const ImageView& target = geometry.target();
  const auto stride = static_cast<std::int64_t>(source.stride);
  const Band k{geometry,
               source.pixels,
               geometry.sourceBytes(),
               stride,
               target.pixels,
               std::size_t{3} * target.width,
               hn::Set(df, geometry.scale()),
               hn::Set(df, geometry.centreX()),
               hn::Set(df, geometry.centreY()),
               hn::Set(df, geometry.maxX()),
               hn::Set(df, geometry.maxY()),
               hn::Set(df, static_cast<double>(stride)),
               hn::Set(df, 3.0),
               hn::Set(df, static_cast<double>(geometry.sourceBytes() - stride - 8))};
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

// The unwarp's bilinear sampling on vectors, shared by the kernels that move a round
// photograph's 3-byte pixels: included once per vector target by each kernel's
// foreach_target pass, hence the toggled guard in place of #pragma once.
#if defined(KELMIRA_UNWARP_BILINEAR_BLEND_INL_H_) == defined(HWY_TARGET_TOGGLE)
#ifdef KELMIRA_UNWARP_BILINEAR_BLEND_INL_H_
#undef KELMIRA_UNWARP_BILINEAR_BLEND_INL_H_
#else
#define KELMIRA_UNWARP_BILINEAR_BLEND_INL_H_
#endif

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include <hwy/highway.h>

HWY_BEFORE_NAMESPACE();
namespace kelmira::bilinear::HWY_NAMESPACE {
namespace hn = hwy::HWY_NAMESPACE;

// Pixels sampled together: eight, in as many vectors as the target needs.
constexpr std::size_t kGroup = 8;
// 2^52: a whole number below it added to this has its bits as the low bits of the sum's.
constexpr double kTwo52 = 4503599627370496.0;
constexpr std::uint64_t kTwo52Bits = 0x4330000000000000;

using DF = hn::CappedTag<double, kGroup>;
using DU = hn::RebindToUnsigned<DF>;
using VF = hn::Vec<DF>;
using VU = hn::Vec<DU>;
using MF = hn::Mask<DF>;

// The photograph as the blend reads it.
struct SourceBytes {
  const std::uint8_t* from;
  std::int64_t size;  // from the first pixel to just past the last
  std::int64_t stride;
  VF strideD, three, maxX, maxY;
  VF furthest;  // the last offset whose two words (this row's and the next's) lie inside
};

inline SourceBytes sourceBytes(const std::uint8_t* from, std::uint32_t width, std::uint32_t height,
                               std::size_t stride) {
  const DF df;
  const auto size = static_cast<std::int64_t>((height - std::size_t{1}) * stride + std::size_t{3} * width);
  const auto rowStep = static_cast<std::int64_t>(stride);
  return {from,
          size,
          rowStep,
          hn::Set(df, static_cast<double>(rowStep)),
          hn::Set(df, 3.0),
          hn::Set(df, static_cast<double>(width) - 1),
          hn::Set(df, static_cast<double>(height) - 1),
          hn::Set(df, static_cast<double>(size - rowStep - 8))};
}

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

// Where points sample the source: the byte offset of each top-left neighbour, the
// fractions towards the next column and row, and which points lie inside the source.
// Points outside (or NaN) sample the first pixel. Offsets are whole numbers below the
// source's size, so doubles hold them exactly.
struct Points {
  MF inside;
  VF fx, fy, offset;
};

HWY_INLINE Points PointsAt(const SourceBytes& s, VF x, VF y) {
  const DF df;
  const VF zero = hn::Zero(df);
  Points p;
  p.inside = hn::And(hn::And(hn::Ge(x, zero), hn::Ge(y, zero)), hn::And(hn::Le(x, s.maxX), hn::Le(y, s.maxY)));
  const VF xs = hn::IfThenElseZero(p.inside, x);
  const VF ys = hn::IfThenElseZero(p.inside, y);
  const VF x0 = TruncSmall(xs);
  const VF y0 = TruncSmall(ys);
  p.fx = hn::Sub(xs, x0);
  p.fy = hn::Sub(ys, y0);
  p.offset = hn::Add(hn::Mul(y0, s.strideD), hn::Mul(x0, s.three));
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
HWY_INLINE VU WordsNearEnd(const SourceBytes& s, const std::uint64_t* at, std::int64_t rowOffset) {
  const DU du;
  HWY_ALIGN std::uint64_t words[kGroup] = {};
  for (std::size_t i = 0; i < hn::Lanes(du); ++i) {
    const std::int64_t o = static_cast<std::int64_t>(at[i]) + rowOffset;
    const std::int64_t n = std::clamp<std::int64_t>(s.size - o, 0, 8);
    if (n > 0) std::memcpy(&words[i], s.from + o, static_cast<std::size_t>(n));
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

// The points' pixels, each as the whole number red + 256 green + 65536 blue; black outside.
HWY_INLINE VU Blend(const SourceBytes& s, const Points& p) {
  const DF df;
  const DU du;
  HWY_ALIGN std::uint64_t at[kGroup];
  hn::Store(WholeBits(p.offset), du, at);
  // The lower row's word ends 8 + stride bytes on.
  const bool clear = hn::AllFalse(df, hn::Gt(p.offset, s.furthest));
  const VU top = Marked(clear ? Words(du, s.from, at) : WordsNearEnd(s, at, 0));
  const VU bottom = Marked(clear ? Words(du, s.from + s.stride, at) : WordsNearEnd(s, at, s.stride));
  const VF red = Channel<0>(top, bottom, p.fx, p.fy);
  const VF green = Channel<1>(top, bottom, p.fx, p.fy);
  const VF blue = Channel<2>(top, bottom, p.fx, p.fy);
  // The three bytes as one whole number, exact in a double.
  const VF rgb = hn::Add(hn::Add(red, hn::Mul(green, hn::Set(df, 256.0))), hn::Mul(blue, hn::Set(df, 65536.0)));
  return hn::IfThenElseZero(hn::RebindMask(du, p.inside), WholeBits(rgb));
}

// Writes the first `count` (up to eight) of a group's blended pixels as 3-byte pixels.
HWY_INLINE void StoreGroup(const std::uint64_t* pixels, std::uint8_t* out, std::uint32_t count) {
  std::uint64_t bytes[3];
  bytes[0] = pixels[0] | pixels[1] << 24 | pixels[2] << 48;
  bytes[1] = pixels[2] >> 16 | pixels[3] << 8 | pixels[4] << 32 | pixels[5] << 56;
  bytes[2] = pixels[5] >> 8 | pixels[6] << 16 | pixels[7] << 40;
  std::memcpy(out, bytes, std::size_t{3} * std::min<std::uint32_t>(count, kGroup));
}

}  // namespace kelmira::bilinear::HWY_NAMESPACE
HWY_AFTER_NAMESPACE();

#endif  // KELMIRA_UNWARP_BILINEAR_BLEND_INL_H_

// The sharpen filter's row kernel, compiled once for each vector target and chosen at run time.
#include "image/sharpen_row.h"

#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "image/sharpen_row.cpp"
#include <hwy/foreach_target.h>  // IWYU pragma: keep
// foreach_target.h comes before highway.h
#include <hwy/highway.h>

#include "base/simd_target.h"

HWY_BEFORE_NAMESPACE();
namespace kelmira::image_detail::HWY_NAMESPACE {
namespace hn = hwy::HWY_NAMESPACE;

// The plain loop. Built for the scalar target the compiler still vectorises it with the
// instructions every x86-64 processor has, which beats one-lane vectors.
HWY_NOINLINE void PlainInterior(const std::uint8_t* up, const std::uint8_t* mid, const std::uint8_t* down,
                                std::uint8_t* out, std::size_t begin, std::size_t end, double k) {
  for (std::size_t i = begin; i < end; ++i) {
    out[i] = sharpenByte(
        mid[i], up[i - 3] + up[i] + up[i + 3] + mid[i - 3] + mid[i + 3] + down[i - 3] + down[i] + down[i + 3], k);
  }
}

// Bytes [begin, end) a chunk at a time: first the differences n - 8c as 16-bit whole
// numbers a whole vector of bytes at a time, then the rest in doubles, as sharpenByte does it.
HWY_NOINLINE void VectorInterior(const std::uint8_t* up, const std::uint8_t* mid, const std::uint8_t* down,
                                 std::uint8_t* out, std::size_t begin, std::size_t end, double k) {
  const hn::ScalableTag<std::int16_t> d16;
  const hn::Rebind<std::uint8_t, decltype(d16)> d8;
  const hn::ScalableTag<double> df;
  const hn::Rebind<std::int32_t, decltype(df)> di;
  const hn::Rebind<std::int16_t, decltype(df)> dfi16;
  const hn::Rebind<std::uint8_t, decltype(df)> df8;
  constexpr std::size_t kChunk = 256;
  HWY_ALIGN std::int16_t differences[kChunk];
  const auto strength = hn::Set(df, k);
  const auto zero = hn::Zero(df);
  const auto top = hn::Set(df, 255.0);
  const std::size_t n16 = hn::Lanes(d16);
  const std::size_t nf = hn::Lanes(df);
  std::size_t i = begin;
  while (end - i >= kChunk) {
    const auto at = [&](const std::uint8_t* p) { return hn::PromoteTo(d16, hn::LoadU(d8, p)); };
    for (std::size_t j = 0; j < kChunk; j += n16) {
      const std::size_t o = i + j;
      const auto sum =
          hn::Add(hn::Add(hn::Add(at(up + o - 3), at(up + o)), hn::Add(at(up + o + 3), at(mid + o - 3))),
                  hn::Add(hn::Add(at(mid + o + 3), at(down + o - 3)), hn::Add(at(down + o), at(down + o + 3))));
      hn::Store(hn::Sub(sum, hn::ShiftLeft<3>(at(mid + o))), d16, differences + j);
    }
    for (std::size_t j = 0; j < kChunk; j += nf) {
      const auto difference = hn::PromoteTo(df, hn::PromoteTo(di, hn::Load(dfi16, differences + j)));
      const auto c = hn::PromoteTo(df, hn::PromoteTo(di, hn::LoadU(df8, mid + i + j)));
      const auto v = hn::Sub(c, hn::Mul(strength, difference));
      hn::StoreU(hn::DemoteTo(df8, hn::DemoteTo(di, hn::Min(hn::Max(v, zero), top))), df8, out + i + j);
    }
    i += kChunk;
  }
  PlainInterior(up, mid, down, out, i, end, k);
}

void SharpenRow(const std::uint8_t* up, const std::uint8_t* mid, const std::uint8_t* down, std::uint8_t* out,
                std::size_t width, double k) {
  const auto one = [&](std::size_t l, std::size_t i, std::size_t r) {
    out[i] = sharpenByte(mid[i], up[l] + up[i] + up[r] + mid[l] + mid[r] + down[l] + down[i] + down[r], k);
  };
  const std::size_t bytes = 3 * width;
  for (std::size_t i = 0; i < 3; ++i) one(i, i, width > 1 ? i + 3 : i);
  if (width < 2) return;
#if HWY_TARGET == HWY_SCALAR
  PlainInterior(up, mid, down, out, 3, bytes - 3, k);
#else
  VectorInterior(up, mid, down, out, 3, bytes - 3, k);
#endif
  for (std::size_t i = bytes - 3; i < bytes; ++i) one(i - 3, i, i);
}

}  // namespace kelmira::image_detail::HWY_NAMESPACE
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
namespace kelmira::image_detail {

HWY_EXPORT(SharpenRow);

void sharpenRow(const std::uint8_t* up, const std::uint8_t* mid, const std::uint8_t* down, std::uint8_t* out,
                std::size_t width, double k) {
  applySimdSetting();
  HWY_DYNAMIC_DISPATCH(SharpenRow)(up, mid, down, out, width, k);
}

}  // namespace kelmira::image_detail
#endif

// The grey picture's luminance of a row of pixels, compiled once for each vector target.
#include "unwarp/luma_row.h"

#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "unwarp/luma_row.cpp"
#include <hwy/foreach_target.h>  // IWYU pragma: keep
// foreach_target.h comes before highway.h
#include <hwy/highway.h>

#include "base/simd_target.h"

HWY_BEFORE_NAMESPACE();
namespace kelmira::unwarp_detail::HWY_NAMESPACE {
namespace hn = hwy::HWY_NAMESPACE;

void LumaRow(const std::uint8_t* pixels, std::size_t count, std::uint16_t* luma) {
  std::size_t i = 0;
#if HWY_TARGET != HWY_SCALAR
  // 16 bits hold it: 255 x (77 + 150 + 29) = 65280.
  const hn::ScalableTag<std::uint16_t> d16;
  const hn::Rebind<std::uint8_t, decltype(d16)> d8;
  const std::size_t n = hn::Lanes(d16);
  const auto red = hn::Set(d16, 77), green = hn::Set(d16, 150), blue = hn::Set(d16, 29);
  for (; i + n <= count; i += n) {
    hn::Vec<decltype(d8)> r, g, b;
    hn::LoadInterleaved3(d8, pixels + 3 * i, r, g, b);
    const auto sum = hn::Add(hn::Add(hn::Mul(hn::PromoteTo(d16, r), red), hn::Mul(hn::PromoteTo(d16, g), green)),
                             hn::Mul(hn::PromoteTo(d16, b), blue));
    hn::StoreU(sum, d16, luma + i);
  }
#endif
  for (; i < count; ++i) {
    const std::uint8_t* p = pixels + 3 * i;
    luma[i] = static_cast<std::uint16_t>(77u * p[0] + 150u * p[1] + 29u * p[2]);
  }
}

}  // namespace kelmira::unwarp_detail::HWY_NAMESPACE
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
namespace kelmira::unwarp_detail {

HWY_EXPORT(LumaRow);

void lumaRow(const std::uint8_t* pixels, std::size_t count, std::uint16_t* luma) {
  applySimdSetting();
  HWY_DYNAMIC_DISPATCH(LumaRow)(pixels, count, luma);
}

}  // namespace kelmira::unwarp_detail
#endif

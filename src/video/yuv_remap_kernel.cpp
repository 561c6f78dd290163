// The video's remap kernel, compiled once for each vector target and chosen at run time.
#include "video/yuv_remap_kernel.h"

#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "video/yuv_remap_kernel.cpp"
#include <hwy/foreach_target.h>  // IWYU pragma: keep
// foreach_target.h comes before highway.h
#include <hwy/highway.h>

HWY_BEFORE_NAMESPACE();
namespace kelmira::video_detail::HWY_NAMESPACE {
namespace hn = hwy::HWY_NAMESPACE;

HWY_INLINE std::uint8_t BlendOne(const std::uint8_t* source, std::int32_t stride, std::int32_t point,
                                 std::uint32_t weight, std::uint8_t black) {
  if (point < 0) return black;
  const std::uint8_t* a = source + (point >> 16) * stride + (point & 0xFFFF);
  const std::uint32_t fx = weight & 0xFFFF;
  const std::uint32_t fy = weight >> 16;
  const std::uint32_t upper = a[0] * (256 - fx) + a[1] * fx;
  const std::uint32_t lower = a[stride] * (256 - fx) + a[stride + 1] * fx;
  return static_cast<std::uint8_t>((upper * (256 - fy) + lower * fy) >> 16);
}

void RemapRows(const RemapPlane& plane, const std::uint8_t* source, std::int32_t sourceStride, std::uint8_t* out,
               std::ptrdiff_t outStride, std::uint32_t first, std::uint32_t count, std::uint8_t black) {
  const hn::ScalableTag<std::int32_t> di;
  const hn::Rebind<std::uint8_t, decltype(di)> d8;
  const std::size_t lanes = hn::Lanes(di);
  const auto low16 = hn::Set(di, 0xFFFF);
  const auto low8 = hn::Set(di, 0xFF);
  const auto whole = hn::Set(di, 256);
  const auto stride = hn::Set(di, sourceStride);
  const auto blackValue = hn::Set(di, black);
  // The gathers read four bytes from each top-left pixel: a and b below, c and d from the row under.
  const auto* words = reinterpret_cast<const std::int32_t*>(source);
  const std::size_t width = plane.width;
  for (std::uint32_t i = first; i < first + count; ++i) {
    const std::int32_t* points = plane.points.data() + i * width;
    const std::int32_t* weights = reinterpret_cast<const std::int32_t*>(plane.weights.data()) + i * width;
    std::uint8_t* to = out + (plane.top + i) * outStride;
    std::size_t j = 0;
    for (; j + lanes <= width; j += lanes) {
      const auto packed = hn::LoadU(di, points + j);
      const auto none = hn::Lt(packed, hn::Zero(di));
      const auto point = hn::IfThenZeroElse(none, packed);
      const auto offset = hn::Add(hn::Mul(hn::ShiftRight<16>(point), stride), hn::And(point, low16));
      const auto upperPair = hn::GatherOffset(di, words, offset);
      const auto lowerPair = hn::GatherOffset(di, words, hn::Add(offset, stride));
      const auto weight = hn::LoadU(di, weights + j);
      const auto fx = hn::And(weight, low16);
      const auto fy = hn::ShiftRight<16>(weight);
      const auto gx = hn::Sub(whole, fx);
      const auto gy = hn::Sub(whole, fy);
      const auto upper = hn::Add(hn::Mul(hn::And(upperPair, low8), gx),
                                 hn::Mul(hn::And(hn::ShiftRight<8>(upperPair), low8), fx));
      const auto lower = hn::Add(hn::Mul(hn::And(lowerPair, low8), gx),
                                 hn::Mul(hn::And(hn::ShiftRight<8>(lowerPair), low8), fx));
      // Below 2^24 before the shift, so the signed lanes never overflow.
      const auto blended = hn::ShiftRight<16>(hn::Add(hn::Mul(upper, gy), hn::Mul(lower, fy)));
      hn::StoreU(hn::DemoteTo(d8, hn::IfThenElse(none, blackValue, blended)), d8, to + j);
    }
    for (; j < width; ++j) {
      to[j] = BlendOne(source, sourceStride, points[j], static_cast<std::uint32_t>(weights[j]), black);
    }
  }
}

const char* TargetName() { return hwy::TargetName(HWY_TARGET); }

}  // namespace kelmira::video_detail::HWY_NAMESPACE
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
#include "base/simd_target.h"

namespace kelmira {
namespace video_detail {
HWY_EXPORT(RemapRows);
HWY_EXPORT(TargetName);
}  // namespace video_detail

void remapPlaneRows(const RemapPlane& plane, const std::uint8_t* source, std::int32_t sourceStride,
                    std::uint8_t* out, std::ptrdiff_t outStride, std::uint32_t first, std::uint32_t count,
                    std::uint8_t black) {
  if (first >= plane.rows) return;
  if (count > plane.rows - first) count = plane.rows - first;
  applySimdSetting();
  HWY_DYNAMIC_DISPATCH(video_detail::RemapRows)(plane, source, sourceStride, out, outStride, first, count, black);
}

const char* remapTargetName() {
  applySimdSetting();
  return HWY_DYNAMIC_DISPATCH(video_detail::TargetName)();
}

}  // namespace kelmira
#endif

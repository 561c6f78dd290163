// A 256-entry byte table applied to a run of bytes, compiled once for each vector target.
#include "image/byte_table.h"

#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "image/byte_table.cpp"
#include <hwy/foreach_target.h>  // IWYU pragma: keep
// foreach_target.h comes before highway.h
#include <hwy/highway.h>

#include "base/simd_target.h"

HWY_BEFORE_NAMESPACE();
namespace kelmira::image_detail::HWY_NAMESPACE {
namespace hn = hwy::HWY_NAMESPACE;

void MapBytes(std::uint8_t* bytes, std::size_t count, const std::uint8_t* table) {
  std::size_t i = 0;
#if HWY_TARGET != HWY_SCALAR && !HWY_HAVE_SCALABLE
  // Sixteen 16-byte lookups by the low half of each byte, the high half picking which: with
  // 16-byte vectors that is no faster than a byte at a time.
  const hn::ScalableTag<std::uint8_t> d8;
  const hn::ScalableTag<std::int8_t> di8;
  const std::size_t n = hn::MaxLanes(d8) >= 32 ? hn::Lanes(d8) : count + 1;
  const auto low = hn::Set(d8, 0x0F);
  for (; i + n <= count; i += n) {
    const auto v = hn::LoadU(d8, bytes + i);
    const auto nibble = hn::And(v, low);
    const auto sv = hn::BitCast(di8, hn::Xor(v, hn::Set(d8, 0x80)));
    auto out = hn::TableLookupBytes(hn::LoadDup128(d8, table), nibble);
    for (int k = 1; k < 16; ++k) {
      const auto from = hn::RebindMask(d8, hn::Gt(sv, hn::Set(di8, static_cast<std::int8_t>(16 * k - 1 - 128))));
      out = hn::IfThenElse(from, hn::TableLookupBytes(hn::LoadDup128(d8, table + 16 * k), nibble), out);
    }
    hn::StoreU(out, d8, bytes + i);
  }
#endif
  for (; i < count; ++i) bytes[i] = table[bytes[i]];
}

}  // namespace kelmira::image_detail::HWY_NAMESPACE
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
namespace kelmira::image_detail {

HWY_EXPORT(MapBytes);

void mapBytes(std::uint8_t* bytes, std::size_t count, const std::uint8_t* table) {
  applySimdSetting();
  HWY_DYNAMIC_DISPATCH(MapBytes)(bytes, count, table);
}

}  // namespace kelmira::image_detail
#endif

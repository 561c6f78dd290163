// The ring finder's votes for centres, compiled once for each vector target.
#include "unwarp/centre_vote_kernel.h"

#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "unwarp/centre_vote_kernel.cpp"
#include <hwy/foreach_target.h>  // IWYU pragma: keep
// foreach_target.h comes before highway.h
#include <hwy/highway.h>

#include "base/simd_target.h"

HWY_BEFORE_NAMESPACE();
namespace kelmira::unwarp_detail::HWY_NAMESPACE {
namespace hn = hwy::HWY_NAMESPACE;

// One vote, as the plain loop casts it.
HWY_INLINE void Vote(double cxAt, double cyAt, int width, int height, float* votes) {
  const int cx = roundHalfAway(cxAt);
  const int cy = roundHalfAway(cyAt);
  if (cx < 0 || cy < 0 || cx >= width || cy >= height) return;
  votes[std::size_t(cy) * width + cx] += 1;
}

// Without SSE4's rounding instruction the plain loop is faster.
#define KELMIRA_VECTOR_VOTES (HWY_TARGET != HWY_SCALAR && HWY_TARGET != HWY_SSSE3)

#if KELMIRA_VECTOR_VOTES
using DF = hn::ScalableTag<double>;
using VF = hn::Vec<DF>;

HWY_INLINE VF RoundHalfAway(VF v) {
  const DF df;
  const VF whole = hn::Trunc(v);
  const VF fraction = hn::Sub(v, whole);
  const VF one = hn::Set(df, 1.0);
  return hn::Sub(hn::Add(whole, hn::IfThenElseZero(hn::Ge(fraction, hn::Set(df, 0.5)), one)),
                 hn::IfThenElseZero(hn::Le(fraction, hn::Set(df, -0.5)), one));
}

// The grid index of each rounded point, or -1 where it lies outside; counts whole numbers
// of votes, so in any order.
HWY_INLINE void Indices(VF cx, VF cy, VF width, VF height, double* out) {
  const DF df;
  const VF zero = hn::Zero(df);
  const auto inside =
      hn::And(hn::And(hn::Ge(cx, zero), hn::Ge(cy, zero)), hn::And(hn::Lt(cx, width), hn::Lt(cy, height)));
  hn::StoreU(hn::IfThenElse(inside, hn::Add(hn::Mul(cy, width), cx), hn::Set(df, -1.0)), df, out);
}
#endif

void CastCentreVotes(int x, int y, double ux, double uy, const double* distances, std::size_t count, int width,
                     int height, float* votes) {
  std::size_t i = 0;
#if KELMIRA_VECTOR_VOTES
  const DF df;
  const std::size_t n = hn::Lanes(df);
  const VF xs = hn::Set(df, x), ys = hn::Set(df, y), uxs = hn::Set(df, ux), uys = hn::Set(df, uy);
  const VF w = hn::Set(df, width), h = hn::Set(df, height);
  HWY_ALIGN double before[hn::MaxLanes(df)];
  HWY_ALIGN double after[hn::MaxLanes(df)];
  for (; i + n <= count; i += n) {
    const VF d = hn::LoadU(df, distances + i);
    // (-d) ux is -(d ux): the sides differ only in the sign of one product.
    const VF alongX = hn::Mul(d, uxs), alongY = hn::Mul(d, uys);
    Indices(RoundHalfAway(hn::Sub(xs, alongX)), RoundHalfAway(hn::Sub(ys, alongY)), w, h, before);
    Indices(RoundHalfAway(hn::Add(xs, alongX)), RoundHalfAway(hn::Add(ys, alongY)), w, h, after);
    for (std::size_t k = 0; k < n; ++k) {
      if (before[k] >= 0) votes[static_cast<std::size_t>(before[k])] += 1;
      if (after[k] >= 0) votes[static_cast<std::size_t>(after[k])] += 1;
    }
  }
#endif
  for (; i < count; ++i) {
    const double d = distances[i];
    Vote(x + -1.0 * d * ux, y + -1.0 * d * uy, width, height, votes);
    Vote(x + 1.0 * d * ux, y + 1.0 * d * uy, width, height, votes);
  }
}

#undef KELMIRA_VECTOR_VOTES

}  // namespace kelmira::unwarp_detail::HWY_NAMESPACE
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
namespace kelmira::unwarp_detail {

HWY_EXPORT(CastCentreVotes);

void castCentreVotes(int x, int y, double ux, double uy, const double* distances, std::size_t count, int width,
                     int height, float* votes) {
  applySimdSetting();
  HWY_DYNAMIC_DISPATCH(CastCentreVotes)(x, y, ux, uy, distances, count, width, height, votes);
}

}  // namespace kelmira::unwarp_detail
#endif

#include "unwarp/avx2_sampler.h"

#if defined(__x86_64__)

#include <immintrin.h>

#include <algorithm>
#include <cstring>

#include "unwarp/plain_sampler.h"

#define KELMIRA_AVX2 __attribute__((target("avx2")))

namespace kelmira::unwarp_detail {

namespace {

// The four bytes at each of four offsets, one word a lane.
KELMIRA_AVX2 __m128i fourWords(const std::uint8_t* source, const std::int64_t* offsets) {
  int words[4];
  for (int i = 0; i < 4; ++i) std::memcpy(&words[i], source + offsets[i], 4);
  return _mm_setr_epi32(words[0], words[1], words[2], words[3]);
}

// One channel (at bit `shift` of each word) of four pixels, blended.
KELMIRA_AVX2 __m128i blendChannel(__m128i a, __m128i b, __m128i c, __m128i d, __m256d fx, __m256d fy, int shift) {
  const __m128i mask = _mm_set1_epi32(0xFF);
  const __m128i av = _mm_and_si128(_mm_srli_epi32(a, shift), mask);
  const __m128i bv = _mm_and_si128(_mm_srli_epi32(b, shift), mask);
  const __m128i cv = _mm_and_si128(_mm_srli_epi32(c, shift), mask);
  const __m128i dv = _mm_and_si128(_mm_srli_epi32(d, shift), mask);
  const __m256d ba = _mm256_cvtepi32_pd(_mm_sub_epi32(bv, av));
  const __m256d ca = _mm256_cvtepi32_pd(_mm_sub_epi32(cv, av));
  const __m256d abcd = _mm256_cvtepi32_pd(_mm_add_epi32(_mm_sub_epi32(_mm_sub_epi32(av, bv), cv), dv));
  __m256d v = _mm256_add_pd(_mm256_cvtepi32_pd(av), _mm256_mul_pd(ba, fx));
  v = _mm256_add_pd(v, _mm256_mul_pd(ca, fy));
  v = _mm256_add_pd(v, _mm256_mul_pd(_mm256_mul_pd(abcd, fx), fy));
  return _mm256_cvttpd_epi32(v);
}

}  // namespace

KELMIRA_AVX2 void Avx2Sampler::sample(const SamplePoints& points, std::uint8_t* out) const {
  const PlainSampler<3> plain(source_, 3);
  std::uint32_t i = 0;
  for (; i + 4 <= points.count; i += 4, out += 12) {
    const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(points.corner + i));
    const __m256i b = _mm256_add_epi64(a, _mm256_loadu_si256(reinterpret_cast<const __m256i*>(points.right + i)));
    const __m256i c = _mm256_add_epi64(a, _mm256_loadu_si256(reinterpret_cast<const __m256i*>(points.below + i)));
    const __m256i d = _mm256_add_epi64(c, _mm256_sub_epi64(b, a));
    // Each word read takes a fourth byte past its pixel, which must still be in the block.
    alignas(32) std::int64_t last[4];
    _mm256_store_si256(reinterpret_cast<__m256i*>(last), d);
    if (std::max({last[0], last[1], last[2], last[3]}) + 4 > sourceBytes_) {
      plain.sample(points, i, i + 4, out);
      continue;
    }
    // Gathers are slow where the processor guards them against data sampling; four
    // plain loads a corner are not.
    alignas(32) std::int64_t at[4][4];
    _mm256_store_si256(reinterpret_cast<__m256i*>(at[0]), a);
    _mm256_store_si256(reinterpret_cast<__m256i*>(at[1]), b);
    _mm256_store_si256(reinterpret_cast<__m256i*>(at[2]), c);
    std::memcpy(at[3], last, sizeof last);
    const __m128i av = fourWords(source_, at[0]);
    const __m128i bv = fourWords(source_, at[1]);
    const __m128i cv = fourWords(source_, at[2]);
    const __m128i dv = fourWords(source_, at[3]);
    const __m256d fx = _mm256_loadu_pd(points.fx + i);
    const __m256d fy = _mm256_loadu_pd(points.fy + i);
    const __m128i red = blendChannel(av, bv, cv, dv, fx, fy, 0);
    const __m128i green = blendChannel(av, bv, cv, dv, fx, fy, 8);
    const __m128i blue = blendChannel(av, bv, cv, dv, fx, fy, 16);
    __m128i pixels = _mm_or_si128(red, _mm_or_si128(_mm_slli_epi32(green, 8), _mm_slli_epi32(blue, 16)));
    // Points outside the source are black.
    const __m128i inside = _mm_cmpgt_epi32(
        _mm_setr_epi32(points.inside[i], points.inside[i + 1], points.inside[i + 2], points.inside[i + 3]),
        _mm_setzero_si128());
    pixels = _mm_and_si128(pixels, inside);
    const __m128i packed = _mm_shuffle_epi8(pixels, _mm_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1));
    alignas(16) std::uint8_t bytes[16];
    _mm_store_si128(reinterpret_cast<__m128i*>(bytes), packed);
    std::memcpy(out, bytes, 12);
  }
  plain.sample(points, i, points.count, out);
}

}  // namespace kelmira::unwarp_detail

#endif

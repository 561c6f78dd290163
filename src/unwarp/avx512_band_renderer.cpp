#include "unwarp/avx512_band_renderer.h"

#include <cstdlib>
#include <limits>

#include "unwarp/plain_sampler.h"

#if defined(__x86_64__)
#include <immintrin.h>
// GCC 12 takes the placeholder operands inside its own AVX-512 intrinsics for uninitialised values.
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#define KELMIRA_AVX512 __attribute__((target("avx512f,avx512bw,avx512vl,avx512dq,avx512vbmi")))
#endif

namespace kelmira::unwarp_detail {

namespace {

constexpr std::uint32_t kLanes = 8;
// How far along the rows the source pixels are asked for before they are read.
constexpr std::uint32_t kPrefetchColumns = 24;

#if defined(__x86_64__)
// Byte `position` of each of eight words in the low byte of a lane, the others cleared.
KELMIRA_AVX512 inline __m256i byteOf(__m512i words, int position) {
  const __m512i index = _mm512_setr_epi32(position, 8 + position, 16 + position, 24 + position, 32 + position,
                                          40 + position, 48 + position, 56 + position, 0, 0, 0, 0, 0, 0, 0, 0);
  return _mm512_castsi512_si256(_mm512_maskz_permutexvar_epi8(0x11111111, index, words));
}

// Two 8-byte words, from `first` and `second`, in one vector.
KELMIRA_AVX512 inline __m128i twoWords(const std::uint8_t* first, const std::uint8_t* second) {
  const __m128i low = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(first));
  return _mm_castpd_si128(_mm_loadh_pd(_mm_castsi128_pd(low), reinterpret_cast<const double*>(second)));
}

// The 8-byte words at eight offsets, one a lane.
KELMIRA_AVX512 inline __m512i eightWords(const std::uint8_t* from, const std::int64_t* at) {
  const __m256i low = _mm256_inserti128_si256(_mm256_castsi128_si256(twoWords(from + at[0], from + at[1])),
                                              twoWords(from + at[2], from + at[3]), 1);
  const __m256i high = _mm256_inserti128_si256(_mm256_castsi128_si256(twoWords(from + at[4], from + at[5])),
                                               twoWords(from + at[6], from + at[7]), 1);
  return _mm512_inserti64x4(_mm512_castsi256_si512(low), high, 1);
}

// One channel of eight pixels, blended, each result in the low byte of its lane. The
// right-hand neighbours are the next three bytes of each word.
KELMIRA_AVX512 inline __m256i blendChannel(__m512i top, __m512i bottom, __m512d fx, __m512d fy, int channel) {
  const __m256i a = byteOf(top, channel);
  const __m256i b = byteOf(top, channel + 3);
  const __m256i c = byteOf(bottom, channel);
  const __m256i d = byteOf(bottom, channel + 3);
  const __m512d ba = _mm512_cvtepi32_pd(_mm256_sub_epi32(b, a));
  const __m512d ca = _mm512_cvtepi32_pd(_mm256_sub_epi32(c, a));
  const __m512d abcd = _mm512_cvtepi32_pd(_mm256_add_epi32(_mm256_sub_epi32(_mm256_sub_epi32(a, b), c), d));
  __m512d v = _mm512_add_pd(_mm512_cvtepi32_pd(a), _mm512_mul_pd(ba, fx));
  v = _mm512_add_pd(v, _mm512_mul_pd(ca, fy));
  v = _mm512_add_pd(v, _mm512_mul_pd(_mm512_mul_pd(abcd, fx), fy));
  return _mm512_cvttpd_epi32(v);
}

// The low bytes of the three channels' lanes as eight packed 3-byte pixels.
KELMIRA_AVX512 inline __m256i packPixels(__m256i red, __m256i green, __m256i blue) {
  // Red and green from their two vectors (index bit 5 picks the second), then blue.
  const __m256i redGreen = _mm256_setr_epi8(0, 32, 0, 4, 36, 0, 8, 40, 0, 12, 44, 0, 16, 48, 0, 20, 52, 0, 24, 56, 0,
                                            28, 60, 0, 0, 0, 0, 0, 0, 0, 0, 0);
  const __m256i blueAt = _mm256_setr_epi8(0, 0, 0, 0, 0, 4, 0, 0, 8, 0, 0, 12, 0, 0, 16, 0, 0, 20, 0, 0, 24, 0, 0, 28,
                                          0, 0, 0, 0, 0, 0, 0, 0);
  const __m256i twoChannels = _mm256_permutex2var_epi8(red, redGreen, green);
  return _mm256_mask_permutexvar_epi8(twoChannels, 0x00924924, blueAt, blue);
}

// What every group of a band shares.
struct BandConstants {
  const RingGeometry& geometry;
  const std::uint8_t* from;
  std::uint8_t* target;
  std::size_t targetStride;
  __m512d scale, centreX, centreY, maxX, maxY;
  __m512i stride, furthest;
};

// Where eight pixels of one row from column j sample the source.
struct GroupPoints {
  __mmask8 inside;
  __m512d fx, fy;
  __m512i corner;  // byte offset of the top-left neighbour
  __m512i lower;   // of the bottom-left one
};

KELMIRA_AVX512 inline GroupPoints locateGroup(const BandConstants& k, std::uint32_t row, std::uint32_t j) {
  const __m512d t = _mm512_set1_pd(k.geometry.rowRadius(row));
  __m512d x = _mm512_add_pd(_mm512_mul_pd(_mm512_mul_pd(t, _mm512_loadu_pd(k.geometry.cosines() + j)), k.scale),
                            k.centreX);
  __m512d y = _mm512_add_pd(_mm512_mul_pd(_mm512_mul_pd(t, _mm512_loadu_pd(k.geometry.sines() + j)), k.scale),
                            k.centreY);
  const __m512d zero = _mm512_setzero_pd();
  GroupPoints points;
  points.inside = _mm512_cmp_pd_mask(x, zero, _CMP_GE_OQ) & _mm512_cmp_pd_mask(y, zero, _CMP_GE_OQ) &
                  _mm512_cmp_pd_mask(x, k.maxX, _CMP_LE_OQ) & _mm512_cmp_pd_mask(y, k.maxY, _CMP_LE_OQ);
  // Points outside sample the first pixel with no weight.
  x = _mm512_maskz_mov_pd(points.inside, x);
  y = _mm512_maskz_mov_pd(points.inside, y);
  const __m256i x0 = _mm512_cvttpd_epi32(x);
  const __m256i y0 = _mm512_cvttpd_epi32(y);
  points.fx = _mm512_sub_pd(x, _mm512_cvtepi32_pd(x0));
  points.fy = _mm512_sub_pd(y, _mm512_cvtepi32_pd(y0));
  points.corner = _mm512_add_epi64(_mm512_mul_epu32(_mm512_cvtepu32_epi64(y0), k.stride),
                                   _mm512_mul_epu32(_mm512_cvtepu32_epi64(x0), _mm512_set1_epi64(3)));
  points.lower = _mm512_add_epi64(points.corner, k.stride);
  return points;
}

// Asks for the source pixels of a group before they are read: the reads follow circles
// through the source, which the processor cannot foresee.
KELMIRA_AVX512 inline void prefetchGroup(const BandConstants& k, std::uint32_t row, std::uint32_t j) {
  const GroupPoints points = locateGroup(k, row, j);
  alignas(64) std::int64_t topAt[kLanes];
  alignas(64) std::int64_t bottomAt[kLanes];
  _mm512_store_si512(topAt, points.corner);
  _mm512_store_si512(bottomAt, points.lower);
  for (std::uint32_t i = 0; i < kLanes; ++i) {
    __builtin_prefetch(k.from + topAt[i]);
    __builtin_prefetch(k.from + bottomAt[i]);
  }
}

// Eight pixels of one row from column j.
KELMIRA_AVX512 inline void renderGroup(const BandConstants& k, std::uint32_t row, std::uint32_t j) {
  const GroupPoints p = locateGroup(k, row, j);
  // A point on the last column or row lies exactly on it, so the neighbours beyond carry no
  // weight and the plain path's repeated pixels are not needed; but reads that would reach
  // past the source go the plain way.
  if (_mm512_cmpgt_epi64_mask(p.lower, k.furthest) != 0) {
    k.geometry.renderColumns(row, j, kLanes, PlainSampler<3>(k.from, 3));
    return;
  }
  // Plain loads: the processor's gathers are slower here than eight loads.
  alignas(64) std::int64_t topAt[kLanes];
  alignas(64) std::int64_t bottomAt[kLanes];
  _mm512_store_si512(topAt, p.corner);
  _mm512_store_si512(bottomAt, p.lower);
  // Points outside read as black.
  const __m512i top = _mm512_maskz_mov_epi64(p.inside, eightWords(k.from, topAt));
  const __m512i bottom = _mm512_maskz_mov_epi64(p.inside, eightWords(k.from, bottomAt));
  const __m256i pixels = packPixels(blendChannel(top, bottom, p.fx, p.fy, 0), blendChannel(top, bottom, p.fx, p.fy, 1),
                                    blendChannel(top, bottom, p.fx, p.fy, 2));
  _mm256_mask_storeu_epi8(k.target + row * k.targetStride + 3 * j, 0xFFFFFF, pixels);
}

KELMIRA_AVX512 void renderBandAvx512(const RingGeometry& geometry, std::int64_t lastWordOffset, std::uint32_t firstRow,
                                     std::uint32_t rowCount) {
  const SourceView& source = geometry.source();
  const ImageView& target = geometry.target();
  const BandConstants k{geometry,
                        source.pixels,
                        target.pixels,
                        std::size_t{3} * target.width,
                        _mm512_set1_pd(geometry.scale()),
                        _mm512_set1_pd(geometry.centreX()),
                        _mm512_set1_pd(geometry.centreY()),
                        _mm512_set1_pd(geometry.maxX()),
                        _mm512_set1_pd(geometry.maxY()),
                        _mm512_set1_epi64(static_cast<long long>(source.stride)),
                        _mm512_set1_epi64(lastWordOffset)};
  const std::uint32_t endRow = firstRow + rowCount;
  std::uint32_t j = 0;
  for (; j + kLanes <= target.width; j += kLanes) {
    if (j + kPrefetchColumns + kLanes <= target.width) {
      prefetchGroup(k, firstRow, j + kPrefetchColumns);
      prefetchGroup(k, endRow - 1, j + kPrefetchColumns);
    }
    for (std::uint32_t row = firstRow; row < endRow; ++row) renderGroup(k, row, j);
  }
  if (j < target.width) {
    const PlainSampler<3> plain(source.pixels, 3);
    for (std::uint32_t row = firstRow; row < endRow; ++row) geometry.renderColumns(row, j, target.width - j, plain);
  }
}
#endif

}  // namespace

bool Avx512BandRenderer::usable(const SourceView& source) {
#if defined(__x86_64__)
  // KELMIRA_NO_AVX512 in the environment keeps this path out, so the others get tested here too.
  static const bool processorHasIt = __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
                                     __builtin_cpu_supports("avx512vl") && __builtin_cpu_supports("avx512dq") &&
                                     __builtin_cpu_supports("avx512vbmi");
  // Offsets are worked out from 32-bit rows and columns and a 32-bit row stride.
  return processorHasIt && std::getenv("KELMIRA_NO_AVX512") == nullptr && std::getenv("KELMIRA_NO_AVX2") == nullptr &&
         source.bytesPerPixel == 3 && source.stride <= std::numeric_limits<std::uint32_t>::max() &&
         source.width <= static_cast<std::uint32_t>(std::numeric_limits<std::int32_t>::max()) &&
         source.height <= static_cast<std::uint32_t>(std::numeric_limits<std::int32_t>::max());
#else
  (void)source;
  return false;
#endif
}

Avx512BandRenderer::Avx512BandRenderer(const RingGeometry& geometry)
    : geometry_(geometry),
      lastWordOffset_(static_cast<std::int64_t>((geometry.source().height - 1) * geometry.source().stride +
                                                std::size_t{3} * geometry.source().width) -
                      8) {}

void Avx512BandRenderer::renderBand(std::uint32_t firstRow, std::uint32_t rowCount) const {
#if defined(__x86_64__)
  renderBandAvx512(geometry_, lastWordOffset_, firstRow, rowCount);
#else
  (void)firstRow;
  (void)rowCount;
#endif
}

}  // namespace kelmira::unwarp_detail

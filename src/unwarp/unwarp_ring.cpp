#include "unwarp/unwarp_ring.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <system_error>
#include <thread>
#include <vector>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include "unwarp/mirror_profile_table.h"

namespace kelmira {

namespace {

// Below this many output pixels a second thread costs more than it saves.
constexpr std::uint64_t kThreadingThreshold = 1 << 16;

// Columns whose sample points are worked out together before they are sampled.
constexpr std::uint32_t kRunColumns = 64;

// KELMIRA_NO_AVX2 in the environment forces the plain path, so both paths get tested here.
bool cpuHasAvx2() {
#if defined(__x86_64__)
  return __builtin_cpu_supports("avx2") && std::getenv("KELMIRA_NO_AVX2") == nullptr;
#else
  return false;
#endif
}

// Where each pixel of a run of output columns samples the source: the byte offset of its
// top-left neighbour, the steps to the neighbours right and below (0 on the last column
// and row, which repeat), and the fractions towards them. Points outside the source are
// marked and sample the first pixel with no weight, so every offset can be read.
struct SamplePoints {
  std::uint32_t count = 0;
  std::int64_t corner[kRunColumns];
  std::int64_t right[kRunColumns];
  std::int64_t below[kRunColumns];
  double fx[kRunColumns];
  double fy[kRunColumns];
  bool inside[kRunColumns];
};

// The bilinear blend of one channel, in the order of operations every path keeps.
inline std::uint8_t blend(int av, int bv, int cv, int dv, double fx, double fy) {
  const double v = av + (bv - av) * fx + (cv - av) * fy + (av - bv - cv + dv) * fx * fy;
  return static_cast<std::uint8_t>(static_cast<int>(v));
}

// One pixel at a time; kFixedBytes is the pixel size when it is known at compile time.
template <std::size_t kFixedBytes>
class PlainSampler {
 public:
  PlainSampler(const std::uint8_t* source, std::size_t bytesPerPixel)
      : source_(source), bytesPerPixel_(kFixedBytes != 0 ? kFixedBytes : bytesPerPixel) {}

  void sample(const SamplePoints& points, std::uint32_t first, std::uint32_t end, std::uint8_t* out) const {
    const std::size_t p = kFixedBytes != 0 ? kFixedBytes : bytesPerPixel_;
    for (std::uint32_t i = first; i < end; ++i, out += p) {
      if (!points.inside[i]) {
        std::memset(out, 0, p);
        continue;
      }
      const std::uint8_t* a = source_ + points.corner[i];
      const std::int64_t r = points.right[i];
      const std::int64_t b = points.below[i];
      for (std::size_t k = 0; k < p; ++k) out[k] = blend(a[k], a[k + r], a[k + b], a[k + r + b], points.fx[i], points.fy[i]);
    }
  }

  void sample(const SamplePoints& points, std::uint8_t* out) const { sample(points, 0, points.count, out); }

 private:
  const std::uint8_t* source_;
  std::size_t bytesPerPixel_;
};

#if defined(__x86_64__)
// Four 3-byte pixels at once: each corner of a pixel is read as one word of four bytes,
// and every channel of the four is blended in four double lanes with the plain arithmetic.
class Avx2Sampler {
 public:
  Avx2Sampler(const std::uint8_t* source, std::int64_t sourceBytes) : source_(source), sourceBytes_(sourceBytes) {}

  __attribute__((target("avx2"))) void sample(const SamplePoints& points, std::uint8_t* out) const {
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
      const __m128i av = fourWords(at[0]);
      const __m128i bv = fourWords(at[1]);
      const __m128i cv = fourWords(at[2]);
      const __m128i dv = fourWords(at[3]);
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

 private:
  // The four bytes at each of four offsets, one word a lane.
  __attribute__((target("avx2"))) __m128i fourWords(const std::int64_t* offsets) const {
    return _mm_setr_epi32(word(offsets[0]), word(offsets[1]), word(offsets[2]), word(offsets[3]));
  }

  int word(std::int64_t offset) const {
    int value;
    std::memcpy(&value, source_ + offset, 4);
    return value;
  }

  // One channel (at bit `shift` of each word) of four pixels, blended.
  __attribute__((target("avx2"))) static __m128i blendChannel(__m128i a, __m128i b, __m128i c, __m128i d, __m256d fx,
                                                               __m256d fy, int shift) {
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

  const std::uint8_t* source_;
  std::int64_t sourceBytes_;
};
#endif

// The unwarp's geometry: for each output row the ring radius it sees, for each column the
// direction; from them, row by row, the points every sampler reads.
class RingGeometry {
 public:
  RingGeometry(const SourceView& source, const ImageView& target, double centreX, double centreY, double scale)
      : source_(source), target_(target), centreX_(centreX), centreY_(centreY), scale_(scale),
        maxX_(static_cast<double>(source.width) - 1), maxY_(static_cast<double>(source.height) - 1),
        cosines_(target.width), sines_(target.width), radii_(target.height) {
    const double w = target.width;
    for (std::uint32_t j = 0; j < target.width; ++j) {
      const double theta = (j * mirror_model::twoPi) / w;
      cosines_[j] = std::cos(theta);
      sines_[j] = std::sin(theta);
    }
    const MirrorProfileTable table = buildMirrorProfileTable();
    for (std::uint32_t i = 0; i < target.height; ++i) radii_[i] = radiusForRow(i, target.height, table);
  }

  // Renders one output row, a run of columns at a time, with `sampler`.
  template <typename Sampler>
  void renderRow(std::uint32_t row, const Sampler& sampler) const {
    const std::size_t p = source_.bytesPerPixel;
    std::uint8_t* out = target_.pixels + row * (p * target_.width);
    SamplePoints points;
    for (std::uint32_t first = 0; first < target_.width; first += kRunColumns) {
      points.count = std::min(kRunColumns, target_.width - first);
      locate(radii_[row], first, points);
      sampler.sample(points, out + first * p);
    }
  }

 private:
  void locate(double t, std::uint32_t first, SamplePoints& points) const {
    const std::size_t p = source_.bytesPerPixel;
    for (std::uint32_t i = 0; i < points.count; ++i) {
      const std::uint32_t j = first + i;
      const double x = t * cosines_[j] * scale_ + centreX_;
      const double y = t * sines_[j] * scale_ + centreY_;
      points.inside[i] = x >= 0 && y >= 0 && x <= maxX_ && y <= maxY_;
      if (!points.inside[i]) {
        points.corner[i] = points.right[i] = points.below[i] = 0;
        points.fx[i] = points.fy[i] = 0;
        continue;
      }
      const auto x0 = static_cast<std::uint32_t>(x);
      const auto y0 = static_cast<std::uint32_t>(y);
      points.fx[i] = x - x0;
      points.fy[i] = y - y0;
      points.corner[i] = static_cast<std::int64_t>(y0 * source_.stride + x0 * p);
      points.right[i] = x0 + 1 < source_.width ? static_cast<std::int64_t>(p) : 0;
      points.below[i] = y0 + 1 < source_.height ? static_cast<std::int64_t>(source_.stride) : 0;
    }
  }

  const SourceView& source_;
  const ImageView& target_;
  const double centreX_;
  const double centreY_;
  const double scale_;
  const double maxX_;
  const double maxY_;
  std::vector<double> cosines_;
  std::vector<double> sines_;
  std::vector<double> radii_;
};

template <typename View>
bool usable(const View& view) {
  return view.pixels != nullptr && view.width > 0 && view.height > 0 && view.bytesPerPixel > 0;
}

// Hands rows out to this thread and a helper; this thread alone reports progress, in row
// order, because the report may drive the user interface.
template <typename RenderRow>
void renderRows(std::uint32_t rows, std::uint64_t pixels, const RenderRow& renderRow, const RowProgress& progress) {
  std::atomic<std::uint32_t> nextRow{0};
  std::thread helper;
  if (pixels >= kThreadingThreshold && std::thread::hardware_concurrency() > 1) {
    try {
      helper = std::thread([&] {
        for (std::uint32_t row; (row = nextRow.fetch_add(1)) < rows;) renderRow(row);
      });
    } catch (const std::system_error&) {
      // No second thread to be had: this one does all rows.
    }
  }
  std::uint32_t reported = 0;
  for (std::uint32_t row; (row = nextRow.fetch_add(1)) < rows;) {
    for (; reported <= row; ++reported) {
      if (progress) progress(reported, rows);
    }
    renderRow(row);
  }
  if (helper.joinable()) helper.join();
  for (; reported < rows; ++reported) {
    if (progress) progress(reported, rows);
  }
}

}  // namespace

double ringScaleForRadius(double ringRadius) { return ringRadius * (2 * mirror_model::imageScaleFactor); }

double defaultRingScale(std::uint32_t sourceHeight) {
  return static_cast<double>(sourceHeight) * mirror_model::imageScaleFactor;
}

bool unwarpRing(const SourceView& source, const ImageView& target, double centreX, double centreY,
                const RowProgress& progress, std::optional<double> scale) {
  if (!usable(source) || !usable(target) || source.bytesPerPixel != target.bytesPerPixel ||
      source.stride < std::size_t{source.bytesPerPixel} * source.width) {
    return false;
  }
  const RingGeometry geometry(source, target, centreX, centreY, scale.value_or(defaultRingScale(source.height)));
  const std::uint64_t pixels = std::uint64_t{target.width} * target.height;
  const std::uint8_t* from = source.pixels;
  // The usual 3-byte pixels get a sampler the compiler can unroll, or the vector one; the
  // bytes are the same either way.
  if (source.bytesPerPixel != 3) {
    const PlainSampler<0> sampler(from, source.bytesPerPixel);
    renderRows(target.height, pixels, [&](std::uint32_t row) { geometry.renderRow(row, sampler); }, progress);
    return true;
  }
#if defined(__x86_64__)
  if (cpuHasAvx2()) {
    const auto sourceBytes =
        static_cast<std::int64_t>((source.height - 1) * source.stride + std::size_t{3} * source.width);
    const Avx2Sampler sampler(from, sourceBytes);
    renderRows(target.height, pixels, [&](std::uint32_t row) { geometry.renderRow(row, sampler); }, progress);
    return true;
  }
#endif
  const PlainSampler<3> sampler(from, 3);
  renderRows(target.height, pixels, [&](std::uint32_t row) { geometry.renderRow(row, sampler); }, progress);
  return true;
}

}  // namespace kelmira

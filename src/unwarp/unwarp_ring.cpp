#include "unwarp/unwarp_ring.h"

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

// KELMIRA_NO_AVX2 in the environment forces the plain path, so both paths get tested here.
bool cpuHasAvx2() {
#if defined(__x86_64__)
  return __builtin_cpu_supports("avx2") && std::getenv("KELMIRA_NO_AVX2") == nullptr;
#else
  return false;
#endif
}

class RingSampler {
 public:
  RingSampler(const ImageView& source, const ImageView& target, double centreX, double centreY)
      : source_(source), target_(target), centreX_(centreX), centreY_(centreY),
        scale_(static_cast<double>(source.height) * mirror_model::imageScaleFactor),
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

  void renderRow(std::uint32_t row) const {
    // The usual 3-byte pixels get a loop the compiler can unroll, or vector arithmetic
    // that keeps every operation and its order, so the bytes are the same either way.
    if (source_.bytesPerPixel == 3) {
#if defined(__x86_64__)
      if (hasAvx2_) {
        renderRowAvx2(row);
        return;
      }
#endif
      renderRowOf<3>(row, 3);
    } else {
      renderRowOf<0>(row, source_.bytesPerPixel);
    }
  }

 private:
  template <std::size_t kFixedBytes>
  void renderRowOf(std::uint32_t row, std::size_t bytesPerPixel) const {
    const std::size_t p = kFixedBytes != 0 ? kFixedBytes : bytesPerPixel;
    const std::size_t rowBytes = p * target_.width;
    std::uint8_t* out = target_.pixels + row * rowBytes;
    const double t = radii_[row];
    for (std::uint32_t j = 0; j < target_.width; ++j, out += p) {
      const double x = t * cosines_[j] * scale_ + centreX_;
      const double y = t * sines_[j] * scale_ + centreY_;
      if (!(x >= 0 && y >= 0 && x <= maxX_ && y <= maxY_)) {
        for (std::size_t k = 0; k < p; ++k) out[k] = 0;
        continue;
      }
      const auto x0 = static_cast<std::uint32_t>(x);
      const auto y0 = static_cast<std::uint32_t>(y);
      const double fx = x - x0;
      const double fy = y - y0;
      const std::uint8_t* a = source_.pixels + y0 * source_.stride + x0 * p;
      const std::size_t right = x0 + 1 < source_.width ? p : 0;
      const std::size_t below = y0 + 1 < source_.height ? source_.stride : 0;
      samplePixel<kFixedBytes>(a, right, below, fx, fy, p, out);
    }
  }

#if defined(__x86_64__)
  // One pixel's channels side by side in the lanes of one vector.
  __attribute__((target("avx2"))) void renderRowAvx2(std::uint32_t row) const {
    const std::uint8_t* const sourceEnd =
        source_.pixels + (source_.height - 1) * source_.stride + 3 * std::size_t{source_.width};
    std::uint8_t* out = target_.pixels + row * (3 * std::size_t{target_.width});
    const double t = radii_[row];
    const __m128i lowBytes = _mm_setr_epi8(0, 4, 8, 12, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1);
    for (std::uint32_t j = 0; j < target_.width; ++j, out += 3) {
      const double x = t * cosines_[j] * scale_ + centreX_;
      const double y = t * sines_[j] * scale_ + centreY_;
      if (!(x >= 0 && y >= 0 && x <= maxX_ && y <= maxY_)) {
        out[0] = out[1] = out[2] = 0;
        continue;
      }
      const auto x0 = static_cast<std::uint32_t>(x);
      const auto y0 = static_cast<std::uint32_t>(y);
      const double fx = x - x0;
      const double fy = y - y0;
      const std::uint8_t* a = source_.pixels + y0 * source_.stride + x0 * std::size_t{3};
      const std::size_t right = x0 + 1 < source_.width ? 3 : 0;
      const std::size_t below = y0 + 1 < source_.height ? source_.stride : 0;
      std::uint8_t value[4];
      if (a + right + below + 4 > sourceEnd) {  // 4-byte loads would pass the block's end
        samplePixel<3>(a, right, below, fx, fy, 3, value);
      } else {
        const __m128i av = _mm_cvtepu8_epi32(_mm_cvtsi32_si128(load4(a)));
        const __m128i bv = _mm_cvtepu8_epi32(_mm_cvtsi32_si128(load4(a + right)));
        const __m128i cv = _mm_cvtepu8_epi32(_mm_cvtsi32_si128(load4(a + below)));
        const __m128i dv = _mm_cvtepu8_epi32(_mm_cvtsi32_si128(load4(a + right + below)));
        const __m256d vfx = _mm256_set1_pd(fx);
        const __m256d vfy = _mm256_set1_pd(fy);
        const __m256d ba = _mm256_cvtepi32_pd(_mm_sub_epi32(bv, av));
        const __m256d ca = _mm256_cvtepi32_pd(_mm_sub_epi32(cv, av));
        const __m256d abcd = _mm256_cvtepi32_pd(_mm_add_epi32(_mm_sub_epi32(_mm_sub_epi32(av, bv), cv), dv));
        __m256d v = _mm256_add_pd(_mm256_cvtepi32_pd(av), _mm256_mul_pd(ba, vfx));
        v = _mm256_add_pd(v, _mm256_mul_pd(ca, vfy));
        v = _mm256_add_pd(v, _mm256_mul_pd(_mm256_mul_pd(abcd, vfx), vfy));
        const __m128i bytes = _mm_shuffle_epi8(_mm256_cvttpd_epi32(v), lowBytes);
        const int packed = _mm_cvtsi128_si32(bytes);
        std::memcpy(value, &packed, 4);
      }
      std::memcpy(out, value, 3);
    }
  }

  static int load4(const std::uint8_t* bytes) {
    int value;
    std::memcpy(&value, bytes, 4);
    return value;
  }
#endif

  template <std::size_t kFixedBytes>
  static void samplePixel(const std::uint8_t* a, std::size_t right, std::size_t below, double fx, double fy,
                          std::size_t bytesPerPixel, std::uint8_t* out) {
    const std::size_t p = kFixedBytes != 0 ? kFixedBytes : bytesPerPixel;
    for (std::size_t k = 0; k < p; ++k) {
      const int av = a[k];
      const int bv = a[k + right];
      const int cv = a[k + below];
      const int dv = a[k + right + below];
      const double v = av + (bv - av) * fx + (cv - av) * fy + (av - bv - cv + dv) * fx * fy;
      out[k] = static_cast<std::uint8_t>(static_cast<int>(v));
    }
  }

  const bool hasAvx2_ = cpuHasAvx2();
  const ImageView& source_;
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

bool usable(const ImageView& view) {
  return view.pixels != nullptr && view.width > 0 && view.height > 0 && view.bytesPerPixel > 0;
}

}  // namespace

bool unwarpRing(const ImageView& source, const ImageView& target, double centreX, double centreY,
                const RowProgress& progress) {
  if (!usable(source) || !usable(target) || source.bytesPerPixel != target.bytesPerPixel ||
      source.stride < std::size_t{source.bytesPerPixel} * source.width) {
    return false;
  }
  const RingSampler sampler(source, target, centreX, centreY);
  const std::uint32_t rows = target.height;

  // Rows are handed out one at a time to this thread and a helper; this thread alone
  // reports progress, in row order, because the report may drive the user interface.
  std::atomic<std::uint32_t> nextRow{0};
  auto renderRows = [&] {
    for (std::uint32_t row; (row = nextRow.fetch_add(1)) < rows;) sampler.renderRow(row);
  };
  std::thread helper;
  if (std::uint64_t{target.width} * rows >= kThreadingThreshold && std::thread::hardware_concurrency() > 1) {
    try {
      helper = std::thread(renderRows);
    } catch (const std::system_error&) {
      // No second thread to be had: this one does all rows.
    }
  }
  std::uint32_t reported = 0;
  for (std::uint32_t row; (row = nextRow.fetch_add(1)) < rows;) {
    for (; reported <= row; ++reported) {
      if (progress) progress(reported, rows);
    }
    sampler.renderRow(row);
  }
  if (helper.joinable()) helper.join();
  for (; reported < rows; ++reported) {
    if (progress) progress(reported, rows);
  }
  return true;
}

}  // namespace kelmira

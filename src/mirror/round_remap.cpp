#include "mirror/round_remap.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <vector>

#include "base/parallel_for.h"

namespace kelmira {

namespace {

constexpr std::uint32_t kBandRows = 8;
// Columns located together before they are sampled: the shape a vector path takes.
constexpr std::uint32_t kRun = 64;

// Where a run of pixels samples the photograph: the byte offset of the top-left
// neighbour, the steps to the right and lower ones (0 at the last column and row), the
// fractions, and whether the point lies inside at all.
struct Run {
  std::int64_t corner[kRun];
  std::int64_t right[kRun];
  std::int64_t below[kRun];
  double fx[kRun];
  double fy[kRun];
  bool inside[kRun];
};

struct Source {
  const std::uint8_t* pixels;
  std::uint32_t width;
  std::uint32_t height;
  std::size_t stride;
  double maxX;
  double maxY;
};

void locate(const Source& s, const float* xs, const float* ys, std::uint32_t count, Run& run) {
  for (std::uint32_t i = 0; i < count; ++i) {
    const double x = xs[i];
    const double y = ys[i];
    run.inside[i] = x >= 0 && y >= 0 && x <= s.maxX && y <= s.maxY;  // NaN is outside
    if (!run.inside[i]) {
      run.corner[i] = run.right[i] = run.below[i] = 0;
      run.fx[i] = run.fy[i] = 0;
      continue;
    }
    const auto x0 = static_cast<std::uint32_t>(x);
    const auto y0 = static_cast<std::uint32_t>(y);
    run.fx[i] = x - x0;
    run.fy[i] = y - y0;
    run.corner[i] = static_cast<std::int64_t>(y0 * s.stride + std::size_t{3} * x0);
    run.right[i] = x0 + 1 < s.width ? 3 : 0;
    run.below[i] = y0 + 1 < s.height ? static_cast<std::int64_t>(s.stride) : 0;
  }
}

// The bilinear blend of one channel, in the order of operations of the ring unwarp.
inline std::uint8_t blend(int a, int b, int c, int d, double fx, double fy) {
  const double v = a + (b - a) * fx + (c - a) * fy + (a - b - c + d) * fx * fy;
  return static_cast<std::uint8_t>(static_cast<int>(v));
}

void sample(const Source& s, const Run& run, std::uint32_t count, std::uint8_t* out) {
  for (std::uint32_t i = 0; i < count; ++i, out += 3) {
    if (!run.inside[i]) {
      out[0] = out[1] = out[2] = 0;
      continue;
    }
    const std::uint8_t* a = s.pixels + run.corner[i];
    const std::int64_t r = run.right[i];
    const std::int64_t b = run.below[i];
    for (int k = 0; k < 3; ++k) out[k] = blend(a[k], a[k + r], a[k + b], a[k + r + b], run.fx[i], run.fy[i]);
  }
}

// Bands finish out of order; the rows finished from the top are told as they grow.
class FinishedRows {
 public:
  FinishedRows(std::uint32_t rows, std::size_t bands, const RowsFinished& finished)
      : rows_(rows), finished_(finished), done_(finished ? bands : 0) {}

  void add(std::size_t band) {
    if (!finished_) return;
    const std::lock_guard<std::mutex> lock(mutex_);
    done_[band] = true;
    const std::size_t before = fromTop_;
    while (fromTop_ < done_.size() && done_[fromTop_]) ++fromTop_;
    if (fromTop_ != before) finished_(static_cast<std::uint32_t>(std::min<std::size_t>(rows_, fromTop_ * kBandRows)));
  }

 private:
  const std::uint32_t rows_;
  const RowsFinished& finished_;
  std::mutex mutex_;
  std::vector<bool> done_;
  std::size_t fromTop_ = 0;
};

}  // namespace

bool remapRound(const SourceView& round, const SourceMap& map, const ImageView& panorama, const RowProgress& progress,
                const RowsFinished& finished) {
  if (round.pixels == nullptr || round.width == 0 || round.height == 0 || round.bytesPerPixel != 3 ||
      round.stride < std::size_t{3} * round.width || panorama.pixels == nullptr || panorama.bytesPerPixel != 3 ||
      map.empty() || panorama.width != map.width() || panorama.height != map.height()) {
    return false;
  }
  const Source source{round.pixels, round.width, round.height, round.stride, static_cast<double>(round.width) - 1,
                      static_cast<double>(round.height) - 1};
  const std::uint32_t rows = map.height();
  const std::uint32_t columns = map.width();
  const std::size_t rowBytes = std::size_t{3} * columns;
  const std::size_t bands = (rows + kBandRows - 1) / kBandRows;
  FinishedRows finishedRows(rows, bands, finished);
  std::uint32_t reported = 0;
  const auto report = [&](std::size_t handedOut) {
    const auto upTo = static_cast<std::uint32_t>(std::min<std::size_t>(rows, handedOut * kBandRows));
    for (; reported < upTo; ++reported) {
      if (progress) progress(reported, rows);
    }
  };
  parallelFor(
      bands, 0,
      [&](std::size_t band) {
        Run run;
        const auto first = static_cast<std::uint32_t>(band * kBandRows);
        const std::uint32_t end = std::min(rows, first + kBandRows);
        for (std::uint32_t row = first; row < end; ++row) {
          std::uint8_t* out = panorama.pixels + row * rowBytes;
          for (std::uint32_t j = 0; j < columns; j += kRun) {
            const std::uint32_t count = std::min(kRun, columns - j);
            locate(source, map.xRow(row) + j, map.yRow(row) + j, count, run);
            sample(source, run, count, out + std::size_t{3} * j);
          }
        }
        finishedRows.add(band);
      },
      report);
  return true;
}

}  // namespace kelmira

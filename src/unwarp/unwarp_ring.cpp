#include "unwarp/unwarp_ring.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#include "base/parallel_for.h"
#include "unwarp/mirror_profile_table.h"
#include "unwarp/ring_geometry.h"
#include "unwarp/unwarp_kernel.h"

namespace kelmira {

namespace {

using unwarp_detail::RingGeometry;

// Rows handed out at a time: few enough for an even share between the threads, and the
// kernel renders them column by column, where the source pixels they read stay cached.
constexpr std::uint32_t kBandRows = 8;

// Below this many output pixels a second thread costs more than it saves.
constexpr std::uint64_t kThreadingThreshold = 1 << 16;

template <typename View>
bool usable(const View& view) {
  return view.pixels != nullptr && view.width > 0 && view.height > 0 && view.bytesPerPixel > 0;
}

// Hands bands of rows out to this thread and a helper; this thread alone reports progress,
// row by row in order, because the report may drive the user interface.
// Bands may finish out of order; the rows finished from the top are told as they grow.
class FinishedBands {
 public:
  FinishedBands(std::uint32_t rows, const RowsFinished& finished)
      : rows_(rows), finished_(finished), done_(finished ? (rows + kBandRows - 1) / kBandRows : 0) {}

  void add(std::uint32_t firstRow) {
    if (!finished_) return;
    const std::lock_guard<std::mutex> lock(mutex_);
    done_[firstRow / kBandRows] = true;
    const std::size_t before = doneFromTop_;
    while (doneFromTop_ < done_.size() && done_[doneFromTop_]) ++doneFromTop_;
    if (doneFromTop_ != before) finished_(std::min<std::uint32_t>(rows_, doneFromTop_ * kBandRows));
  }

 private:
  const std::uint32_t rows_;
  const RowsFinished& finished_;
  std::mutex mutex_;
  std::vector<bool> done_;
  std::size_t doneFromTop_ = 0;
};

template <typename RenderBand>
void renderBands(std::uint32_t rows, std::uint64_t pixels, const RenderBand& renderBand, const RowProgress& progress,
                 const RowsFinished& finished) {
  std::atomic<std::uint32_t> nextRow{0};
  FinishedBands finishedBands(rows, finished);
  const auto take = [&](std::uint32_t& first, std::uint32_t& count) {
    first = nextRow.fetch_add(kBandRows);
    if (first >= rows) return false;
    count = std::min(kBandRows, rows - first);
    return true;
  };
  const auto render = [&](std::uint32_t first, std::uint32_t count) {
    renderBand(first, count);
    finishedBands.add(first);
  };
  // An exception on either thread stops both and reaches the caller; one escaping the
  // helper, or leaving it unjoined, would end the program.
  std::exception_ptr helperProblem;
  std::thread helper;
  if (pixels >= kThreadingThreshold && workerThreads() > 1) {
    try {
      helper = std::thread([&] {
        try {
          for (std::uint32_t first, count; take(first, count);) render(first, count);
        } catch (...) {
          helperProblem = std::current_exception();
          nextRow.store(rows);
        }
      });
    } catch (const std::system_error&) {
      // No second thread to be had: this one does all rows.
    }
  }
  std::uint32_t reported = 0;
  try {
    for (std::uint32_t first, count; take(first, count);) {
      for (; reported < first + count; ++reported) {
        if (progress) progress(reported, rows);
      }
      render(first, count);
    }
  } catch (...) {
    nextRow.store(rows);
    if (helper.joinable()) helper.join();
    throw;
  }
  if (helper.joinable()) helper.join();
  if (helperProblem) std::rethrow_exception(helperProblem);
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
                const RowProgress& progress, std::optional<double> scale, const RowsFinished& finished) {
  if (!usable(source) || !usable(target) || source.bytesPerPixel != 3 || target.bytesPerPixel != 3 ||
      source.stride < std::size_t{3} * source.width) {
    return false;
  }
  const RingGeometry geometry(source, target, centreX, centreY, scale.value_or(defaultRingScale(source.height)));
  renderBands(
      target.height, std::uint64_t{target.width} * target.height,
      [&](std::uint32_t first, std::uint32_t count) { unwarp_detail::renderUnwarpBand(geometry, first, count); },
      progress, finished);
  return true;
}

}  // namespace kelmira

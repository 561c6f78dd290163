#include "mirror/round_remap.h"

#include <algorithm>
#include <mutex>
#include <vector>

#include "base/parallel_for.h"
#include "mirror/round_remap_kernel.h"

namespace kelmira {

namespace {

constexpr std::uint32_t kBandRows = 8;

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
  const mirror_detail::RemapSource source{round.pixels, round.width, round.height, round.stride};
  const std::uint32_t rows = map.height();
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
        const auto first = static_cast<std::uint32_t>(band * kBandRows);
        const std::uint32_t end = std::min(rows, first + kBandRows);
        mirror_detail::remapBand(source, map, first, end - first, panorama.pixels);
        finishedRows.add(band);
      },
      report);
  return true;
}

}  // namespace kelmira

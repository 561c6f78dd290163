#include "workspace/unwarp_ring.h"

#include <atomic>
#include <cmath>
#include <system_error>
#include <thread>
#include <vector>

#include "workspace/mirror_profile_table.h"

namespace kelmira {

namespace {

// Below this many output pixels a second thread costs more than it saves.
constexpr std::uint64_t kThreadingThreshold = 1 << 16;

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
    const std::size_t p = source_.bytesPerPixel;
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
      for (std::size_t k = 0; k < p; ++k) {
        const int av = a[k];
        const int bv = a[k + right];
        const int cv = a[k + below];
        const int dv = a[k + right + below];
        const double v = av + (bv - av) * fx + (cv - av) * fy + (av - bv - cv + dv) * fx * fy;
        out[k] = static_cast<std::uint8_t>(static_cast<int>(v));
      }
    }
  }

 private:
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

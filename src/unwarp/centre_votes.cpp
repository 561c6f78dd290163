#include "unwarp/centre_votes.h"

#include <algorithm>
#include <cstdint>

#include "base/parallel_for.h"

namespace kelmira {

namespace {

// std::lround for the picture's coordinates, without a call into the maths library for each
// of the millions of votes: the fraction v - trunc(v) is exact below 2^52.
inline int roundHalfAway(double v) {
  const auto whole = static_cast<std::int64_t>(v);
  const double fraction = v - static_cast<double>(whole);
  return static_cast<int>(whole + (fraction >= 0.5) - (fraction <= -0.5));
}

}  // namespace

std::vector<float> countCentreVotes(const EdgeGradients& edges, double threshold, double minRadius, double maxRadius,
                                    unsigned bands) {
  const int w = edges.width, h = edges.height;
  bands = std::max(bands, 1u);
  std::vector<std::vector<float>> bandVotes(bands);
  parallelFor(bands, bands, [&](std::size_t band) {
    std::vector<float>& votes = bandVotes[band];
    votes.assign(std::size_t(w) * h, 0);
    // Signed: a picture of fewer than two rows has no rows to vote, not four billion.
    const std::int64_t rows = std::max(h - 2, 0);
    const int firstRow = 1 + static_cast<int>(rows * std::int64_t(band) / bands);
    const int endRow = 1 + static_cast<int>(rows * std::int64_t(band + 1) / bands);
    for (int y = firstRow; y < endRow; ++y) {
      for (int x = 1; x + 1 < w; ++x) {
        const std::size_t i = std::size_t(y) * w + x;
        if (edges.magnitude[i] < threshold) continue;
        const double ux = edges.gx[i] / edges.magnitude[i], uy = edges.gy[i] / edges.magnitude[i];
        for (double d = minRadius; d <= maxRadius; d += 1) {
          for (const double side : {-1.0, 1.0}) {
            const int cx = roundHalfAway(x + side * d * ux);
            const int cy = roundHalfAway(y + side * d * uy);
            if (cx < 0 || cy < 0 || cx >= w || cy >= h) continue;
            votes[std::size_t(cy) * w + cx] += 1;
          }
        }
      }
    }
  });
  std::vector<float>& votes = bandVotes[0];
  for (unsigned band = 1; band < bands; ++band) {
    for (std::size_t i = 0; i < votes.size(); ++i) votes[i] += bandVotes[band][i];
  }
  return std::move(votes);
}

}  // namespace kelmira

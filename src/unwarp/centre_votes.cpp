#include "unwarp/centre_votes.h"

#include <algorithm>
#include <cstdint>

#include "base/parallel_for.h"
#include "unwarp/centre_vote_kernel.h"

namespace kelmira {

std::vector<float> countCentreVotes(const EdgeGradients& edges, double threshold, double minRadius, double maxRadius,
                                    unsigned bands) {
  const int w = edges.width, h = edges.height;
  bands = std::max(bands, 1u);
  // By repeated addition, as the distances always were: the votes fall where they did.
  std::vector<double> distances;
  for (double d = minRadius; d <= maxRadius; d += 1) distances.push_back(d);
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
        unwarp_detail::castCentreVotes(x, y, ux, uy, distances.data(), distances.size(), w, h, votes.data());
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

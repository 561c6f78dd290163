#include "video/video_ring_finder.h"

#include <algorithm>
#include <vector>

#include "image/dib_image.h"
#include "video/video_still_reader.h"

namespace kelmira {

namespace {

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const std::size_t n = values.size();
  return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

}  // namespace

std::optional<FoundRing> findVideoRing(const std::string& path, int samples) {
  VideoStillReader reader;
  std::string detail;
  if (reader.open(path, detail) != VideoStatus::Written) return std::nullopt;
  const VideoFacts& facts = reader.facts();
  std::vector<double> xs, ys, radii, confidences;
  int read = 0;
  for (int k = 0; k < std::max(samples, 1); ++k) {
    DibImage frame;
    const double seconds = facts.duration > 0 ? facts.duration * (k + 0.5) / samples : 0;
    if (!reader.read(seconds, frame)) continue;
    ++read;
    const SourceView view{frame.pixels(), static_cast<std::uint32_t>(frame.width()),
                          static_cast<std::uint32_t>(frame.height()), 3, 3 * static_cast<std::size_t>(frame.width())};
    const std::optional<FoundRing> found = findRing(view);
    confidences.push_back(found ? found->confidence : 0.0);
    if (!found) continue;
    xs.push_back(found->centreX);
    ys.push_back(found->centreY);
    radii.push_back(found->radius);
    if (facts.duration <= 0) break;  // no way to move on through the video
  }
  if (read == 0) return std::nullopt;
  if (xs.empty()) return FoundRing{};
  FoundRing ring;
  ring.centreX = median(xs);
  ring.centreY = median(ys);
  ring.radius = median(radii);
  ring.confidence = median(confidences);
  return ring;
}

}  // namespace kelmira

#include "unwarp/ring_choice.h"

#include <algorithm>
#include <cmath>

namespace kelmira {

bool concentric(const FittedCircle& a, const FittedCircle& b) {
  return std::hypot(a.centreX - b.centreX, a.centreY - b.centreY) <= std::max(3.0, 0.03 * std::max(a.radius, b.radius));
}

FoundRing chooseRing(const std::vector<JudgedCircle>& judged) {
  // The scene inside and a plain housing outside weigh more in the choice than in the
  // confidence: a second ring outside the scene's end (a lens hood's) is as clear an edge.
  const auto rank = [](const JudgedCircle& j) {
    return j.confidence * std::clamp(0.35 + 0.65 * j.texture, 0.02, 1.0);
  };
  const JudgedCircle* chosen = &*std::max_element(
      judged.begin(), judged.end(), [&](const JudgedCircle& a, const JudgedCircle& b) { return rank(a) < rank(b); });
  // A bare mirror: the scene meets a background as busy as itself, which costs the ring its
  // texture, while the clearest circle is often a small one inside, the camera's reflection
  // or the mirror's hole. A strong edge well outside a strong small one, round the same
  // centre, with no plain band inside it, may be the ring: the two edges vouch for each other.
  const auto vouched = [&](const JudgedCircle& outer) {
    double best = 0;
    if (outer.edge < 0.6 || outer.texture < -0.5) return best;
    for (const JudgedCircle& inner : judged) {
      if (inner.edge >= 0.65 && inner.circle.radius * 1.6 <= outer.circle.radius && concentric(inner.circle, outer.circle)) {
        best = std::max(best, std::min(outer.edge, inner.edge));
      }
    }
    return best;
  };
  const auto sure = [&](const JudgedCircle& j) { return std::max(j.confidence, vouched(j)); };
  const JudgedCircle* ranked = chosen;
  // A polished rim round the scene is the ring's edge: the innermost such circle the finder
  // is sure of (a tube round the mirror may show another).
  const JudgedCircle* rim = nullptr;
  for (const JudgedCircle& j : judged) {
    if (!j.rim || sure(j) < kRingConfidenceThreshold || !concentric(j.circle, ranked->circle)) continue;
    if (rim == nullptr || j.circle.radius < rim->circle.radius) rim = &j;
  }
  if (rim != nullptr) {
    chosen = rim;
  } else if (vouched(*ranked) == 0) {
    // Else, when the chosen circle is a small one inside, the clearest vouched-for edge round it.
    for (const JudgedCircle& j : judged) {
      if (vouched(j) == 0 || !concentric(j.circle, ranked->circle) || j.circle.radius < ranked->circle.radius - 2) {
        continue;
      }
      if (chosen == ranked || vouched(j) > vouched(*chosen)) chosen = &j;
    }
  }
  const double confidence = sure(*chosen);
  const FittedCircle& ring = chosen->circle;
  return FoundRing{ring.centreX, ring.centreY, ring.radius, confidence};
}

}  // namespace kelmira

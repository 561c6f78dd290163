#pragma once

#include <optional>

#include "unwarp/unwarp_ring.h"

namespace kelmira {

// The mirror's ring in a round photograph: the centre, the radius where the scene ends
// (the ring's outer edge), in source pixels, and how sure the finder is, 0 to 1.
struct FoundRing {
  double centreX = 0;
  double centreY = 0;
  double radius = 0;
  double confidence = 0;
};

// Below this the finder's answer is not used without the user's say.
inline constexpr double kRingConfidenceThreshold = 0.5;

// Finds the ring of a 3-byte-per-pixel photograph. A coarse pass on a reduced grey picture
// votes for centres along the edges' gradients and scores the circles round each one (how
// many rays cross an edge there, how strong it is, whether the scene's texture lies inside
// and a plain housing outside); a fine pass follows the most promising circles' edges
// along rays at full size and fits a circle to each, dropping outliers, then looks again
// round the centres it found. The ring is the best of them, unless a polished rim (a thin
// bright ring) shows where the scene ends, or, on a bare mirror, a strong edge well outside
// a small strong circle of the same centre (the camera's reflection, the mirror's hole)
// does. None when no circle stands out at all; otherwise the confidence says how well it
// stands out.
std::optional<FoundRing> findRing(const SourceView& image);

}  // namespace kelmira

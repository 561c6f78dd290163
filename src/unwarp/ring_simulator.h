#pragma once

#include "unwarp/unwarp_ring.h"

namespace kelmira {

// The inverse of unwarpRing: renders the round photograph that the mirror would have
// produced of `panorama`, with the ring around (centreX, centreY) of `round`. Black
// outside the ring. Unwarping the result gives the panorama back, up to resampling blur.
// `scale` as for unwarpRing. Both views must have 3 bytes per pixel; false otherwise.
bool simulateRing(const SourceView& panorama, const ImageView& round, double centreX, double centreY,
                  std::optional<double> scale = {});

}  // namespace kelmira

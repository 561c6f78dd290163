#pragma once

#include <cstdint>

#include "unwarp/unwarp_ring.h"

namespace kelmira {

class DibImage;

// Where the crop circle first sits on a round photograph of the given size.
struct CropCircle {
  std::int32_t centreX = 0;
  std::int32_t centreY = 0;
  std::int32_t radius = 0;
  std::int32_t centreHandleSize = 0;
};
CropCircle initialCropCircle(std::int32_t width, std::int32_t height);
// Where it sits on a ring of outer radius R found in (or given for) the photograph: on its
// centre, radius 0.8 R. For R = height / 2 of a landscape photograph that is the circle above.
CropCircle cropCircleOnRing(std::int32_t width, std::int32_t height, double centreX, double centreY, double ringRadius);

// A round image more than twice as wide as high is probably a panorama already.
bool looksLikePanorama(std::int32_t width, std::int32_t height);

struct PanoramaSize {
  std::int32_t width = 0;
  std::int32_t height = 0;
};
// 0.6 panorama rows per pixel of crop radius, all the way round.
PanoramaSize panoramaSizeForRadius(std::int32_t radius);

// Hears of a panorama while it is made, to put it to use before it is whole: first the
// picture, as soon as its block exists, then how many rows from the top are finished
// (mirrored already for the lens thread), from the unwarp's threads, one call at a time.
class PanoramaRowListener {
 public:
  virtual void started(const DibImage& panorama) = 0;
  virtual void rowsFinished(std::int32_t rows) = 0;

 protected:
  ~PanoramaRowListener() = default;
};

// Unwarps `round` around (centreX, centreY) into `panorama`, sized by the crop radius, and
// mirrors it for the lens-thread attachment. The ring's outer radius, when known, sets the
// scale; otherwise the photograph's height does. 0 done; -1 without a round image or when
// the panorama cannot be allocated, and `panorama` is then unchanged.
int makePanoramaImage(const DibImage& round, std::int32_t centreX, std::int32_t centreY, std::int32_t radius,
                      bool lensThread, DibImage& panorama, const RowProgress& progress = {},
                      std::optional<double> ringRadius = {}, PanoramaRowListener* listener = nullptr);

}  // namespace kelmira

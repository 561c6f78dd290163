#pragma once

#include "mirror/calibrated_panorama.h"
#include "unwarp/panorama_maker.h"

namespace kelmira {

class DibImage;

// Make Pano with a calibrated mirror: unwarps `round` into `panorama` as `plan` lays it
// out (its rows at plan.rows()), telling `listener` of the picture and its finished rows
// as makePanoramaImage does. 0 done; -1 without a round image of the plan's size or when
// the memory is not to be had, and `panorama` is then unchanged.
int makeCalibratedPanorama(const DibImage& round, const CalibratedPanorama& plan, DibImage& panorama,
                           const RowProgress& progress = {}, PanoramaRowListener* listener = nullptr);

}  // namespace kelmira

#pragma once

#include "mirror/source_map.h"
#include "unwarp/unwarp_ring.h"

namespace kelmira {

// Fills the panorama (3-byte pixels, rows packed, as large as the map) with the round
// photograph sampled bilinearly at the map's points, in the unwarp's arithmetic: a point
// outside the photograph (or NaN) is black, and the last column and row repeat at the
// edge. Bands of rows go to every core; `progress` hears of each row in order on this
// thread, `finished` of the rows finished from the top. False, writing nothing, when the
// views are unusable or their sizes do not match the map.
bool remapRound(const SourceView& round, const SourceMap& map, const ImageView& panorama,
                const RowProgress& progress = {}, const RowsFinished& finished = {});

}  // namespace kelmira

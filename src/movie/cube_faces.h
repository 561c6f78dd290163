#pragma once

#include <array>
#include <cstdint>

#include "image/pixel_block.h"

namespace kelmira {

// The six faces of a cubic QuickTime VR panorama, in the order its image track stores them:
// front, right, back, left, top, bottom; each `side` x `side` packed RGB, upright as seen
// from the centre (the top face's lower edge meets the front's upper edge, the bottom
// face's upper edge the front's lower edge).
using CubeFaces = std::array<const std::uint8_t*, 6>;

// The full sphere the faces show as an equirectangular picture of 2 x side rows and twice
// as many columns: the front's centre in the middle, longitude growing to the right, the
// zenith on top. Null when memory runs out.
PixelBlock equirectangularFromCube(const CubeFaces& faces, std::int32_t side);

}  // namespace kelmira

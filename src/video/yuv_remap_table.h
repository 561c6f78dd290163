#pragma once

#include <cstdint>
#include <vector>

#include "video/display_rotation.h"
#include "video/frame_map.h"

namespace kelmira {

// How one plane of the equirectangular frame is made from the same plane of a stored
// frame: for each pixel of the rows the band touches, the top-left of the four source
// pixels it blends, and the weights of the right and lower ones in 256ths. The four always
// lie inside the source plane (on its last column or row the blend leans wholly on the
// pixels before it), so the kernel needs no bounds of its own.
struct RemapPlane {
  std::uint32_t width = 0;   // of the output plane
  std::uint32_t height = 0;
  std::uint32_t sourceWidth = 0;
  std::uint32_t sourceHeight = 0;
  std::uint32_t top = 0;  // output rows top to top + rows - 1 are worked out; the others are black
  std::uint32_t rows = 0;
  // Per pixel of those rows: y0 << 16 | x0, or -1 for black.
  std::vector<std::int32_t> points;
  // Per pixel: fx | fy << 16, each 0 to 256.
  std::vector<std::uint32_t> weights;

  static constexpr std::int32_t kBlack = -1;
  // Sets the pixel for source point (x, y) of this plane; black when outside it (or NaN).
  void set(std::size_t index, double x, double y);
};

// The luma and chroma planes' tables of a video with 4:2:0 frames: luma at full size,
// chroma at half, each chroma pixel sampling the middle of the luma points of its 2 x 2
// block that see anything.
class YuvRemapTable {
 public:
  // False, and empty, when the stored frame is under 4 x 4 pixels or memory runs out.
  bool build(const FrameMap& map, DisplayRotation rotation, std::uint32_t storedWidth, std::uint32_t storedHeight);
  const RemapPlane& luma() const { return luma_; }
  const RemapPlane& chroma() const { return chroma_; }
  bool empty() const { return luma_.points.empty(); }

 private:
  RemapPlane luma_;
  RemapPlane chroma_;
};

}  // namespace kelmira

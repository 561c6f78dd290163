#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "lookaround/look_camera.h"
#include "lookaround/look_surface.h"

namespace kelmira {

// A panorama to look around in: rows of 3-byte pixels, every column a step of 360 / width
// degrees of azimuth (column 0 at azimuth 0), its rows on `surface`.
struct LookPanorama {
  const std::uint8_t* pixels = nullptr;
  std::int32_t width = 0;
  std::int32_t height = 0;
  std::ptrdiff_t stride = 0;  // bytes from one row to the next
  LookSurface surface;
};

// Renders the perspective view a pinhole camera turned to `camera` sees of a panorama,
// sampled between the four pixels round each ray, the columns wrapping round 360 degrees.
// The camera is used as given: limit it first (LookCamera::limited) to keep the view within
// the panorama's rows; a ray beyond them takes the nearest row, and a view reaching past
// straight up or down is not drawn truly. Its buffers are kept from
// frame to frame, so a renderer kept for a window allocates nothing while it turns.
class LookRenderer {
 public:
  // Writes width x height pixels of 3 bytes into `out`, rows `outStride` bytes apart. False,
  // with nothing written, for an empty panorama or view, or one wider or taller than 2^22.
  bool render(const LookPanorama& panorama, const LookCamera& camera, std::uint8_t* out, std::int32_t width,
              std::int32_t height, std::ptrdiff_t outStride);

 private:
  // A view row's rays: each pixel's column and row in the panorama, in 256ths.
  void traceRow(const LookPanorama& panorama, float panColumn, float columnsPerRadian, float rowTangent,
                float inverseDepth, std::int32_t width);
  void sampleRow(const LookPanorama& panorama, std::uint8_t* out, std::int32_t width) const;

  std::vector<float> across_;  // each view column's distance from the middle, in focal lengths
  std::vector<std::int32_t> column_;
  std::vector<std::int32_t> row_;
  std::int32_t acrossWidth_ = -1;
  double acrossFov_ = -1.0;
};

}  // namespace kelmira

#pragma once

#include <cstdint>

#include "lookaround/look_surface.h"

namespace kelmira {

// Where the look-around view looks: the azimuth of its middle (0 at the panorama's first
// column, rising to the right), its tilt above the horizon and its horizontal field of view,
// all in degrees.
struct LookCamera {
  double pan = 0.0;
  double tilt = 0.0;
  double fov = 90.0;

  // The camera moved as little as can be so that a view of width x height pixels shows
  // only rows the panorama has: the field of view no taller than the panorama, the tilt
  // keeping the view's top and bottom edges within the first and last rows; the pan
  // brought into [0, 360).
  LookCamera limited(const LookSurface& surface, std::int32_t width, std::int32_t height) const;

  // Half the view's vertical field of view, in degrees.
  double halfHeightAngle(std::int32_t width, std::int32_t height) const;
};

inline constexpr double kNarrowestLookFov = 10.0;
inline constexpr double kWidestLookFov = 120.0;

}  // namespace kelmira

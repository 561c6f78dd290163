#include "lookaround/look_camera.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace kelmira {

namespace {

constexpr double kDegreesPerRadian = 180.0 / std::numbers::pi;

}  // namespace

double LookCamera::halfHeightAngle(std::int32_t width, std::int32_t height) const {
  if (width <= 0 || height <= 0) return 0.0;
  return std::atan(std::tan(fov / 2.0 / kDegreesPerRadian) * height / width) * kDegreesPerRadian;
}

LookCamera LookCamera::limited(const LookSurface& surface, std::int32_t width, std::int32_t height) const {
  LookCamera camera = *this;
  camera.pan = std::isfinite(pan) ? std::fmod(pan, 360.0) : 0.0;
  if (camera.pan < 0.0) camera.pan += 360.0;
  if (camera.pan >= 360.0) camera.pan = 0.0;
  if (width <= 0 || height <= 0) return camera;

  const double top = surface.topElevation();
  const double bottom = surface.bottomElevation();
  // The view's edges may reach the first and last rows' centres, no further.
  const double halfSpan = std::max(0.0, (top - bottom) / 2.0);
  const double tallest = 2.0 * std::atan(std::tan(halfSpan / kDegreesPerRadian) * width / height) * kDegreesPerRadian;
  camera.fov = std::clamp(std::isfinite(fov) ? fov : 90.0, kNarrowestLookFov, kWidestLookFov);
  camera.fov = std::max(std::min(camera.fov, tallest), 1e-3);
  const double half = camera.halfHeightAngle(width, height);
  const double lowest = bottom + half;
  const double highest = top - half;
  camera.tilt = lowest <= highest ? std::clamp(std::isfinite(tilt) ? tilt : 0.0, lowest, highest) : (top + bottom) / 2.0;
  return camera;
}

}  // namespace kelmira

#include "mirror/mirror_rig.h"

#include <cmath>
#include <numbers>

namespace kelmira {

namespace {
constexpr double kDegrees = 180 / std::numbers::pi;
}  // namespace

SkyDirection skyDirection(const CameraRay& ray, Rig rig) {
  // atan2 rather than asin: exact at the centre, where z is 1 give or take a rounding.
  const double elevation = std::atan2(-ray.z, std::hypot(ray.x, ray.y)) * kDegrees;
  // Clockwise on the photograph as displayed, from the right of the centre.
  const double onPhoto = std::atan2(ray.y, ray.x) * kDegrees;
  double azimuth = rig == Rig::CameraBelow ? -onPhoto : onPhoto;
  if (azimuth < 0) azimuth += 360;
  if (azimuth >= 360) azimuth -= 360;
  return {modelElevation(elevation, rig), azimuth};
}

CameraRay cameraRay(const SkyDirection& direction, Rig rig) {
  const double elevation = modelElevation(direction.elevation, rig) / kDegrees;
  const double onPhoto = (rig == Rig::CameraBelow ? -direction.azimuth : direction.azimuth) / kDegrees;
  const double across = std::cos(elevation);
  return {across * std::cos(onPhoto), across * std::sin(onPhoto), -std::sin(elevation)};
}

std::string_view rigName(Rig rig) { return rig == Rig::CameraBelow ? "camera-below" : "camera-above"; }

std::optional<Rig> rigFromName(std::string_view name) {
  if (name == "camera-below") return Rig::CameraBelow;
  if (name == "camera-above") return Rig::CameraAbove;
  return std::nullopt;
}

}  // namespace kelmira

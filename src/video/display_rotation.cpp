#include "video/display_rotation.h"

#include <cmath>

namespace kelmira {

DisplayRotation DisplayRotation::clockwise(double degrees) {
  DisplayRotation rotation;
  if (!std::isfinite(degrees)) return rotation;
  const long quarters = std::lround(degrees / 90.0) % 4;
  rotation.quarters_ = static_cast<int>(quarters < 0 ? quarters + 4 : quarters);
  return rotation;
}

DisplayRotation DisplayRotation::ofMatrix(const std::int32_t* matrix, double (*rotationOf)(const std::int32_t*)) {
  // FFmpeg gives the angle counter-clockwise.
  return matrix == nullptr ? DisplayRotation() : clockwise(-rotationOf(matrix));
}

void DisplayRotation::storedPoint(double x, double y, std::uint32_t storedWidth, std::uint32_t storedHeight,
                                  double& storedX, double& storedY) const {
  const double lastX = storedWidth - 1.0;
  const double lastY = storedHeight - 1.0;
  switch (quarters_) {
    case 1:  // the stored frame's left column is shown as the top row, bottom first
      storedX = y;
      storedY = lastY - x;
      return;
    case 2:
      storedX = lastX - x;
      storedY = lastY - y;
      return;
    case 3:
      storedX = lastX - y;
      storedY = x;
      return;
    default:
      storedX = x;
      storedY = y;
  }
}

void DisplayRotation::displayedPoint(double storedX, double storedY, std::uint32_t storedWidth,
                                     std::uint32_t storedHeight, double& x, double& y) const {
  const double lastX = storedWidth - 1.0;
  const double lastY = storedHeight - 1.0;
  switch (quarters_) {
    case 1:
      x = lastY - storedY;
      y = storedX;
      return;
    case 2:
      x = lastX - storedX;
      y = lastY - storedY;
      return;
    case 3:
      x = storedY;
      y = lastX - storedX;
      return;
    default:
      x = storedX;
      y = storedY;
  }
}

}  // namespace kelmira

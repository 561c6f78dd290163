#pragma once

#include <cstdint>

namespace kelmira {

// How a video's frames are turned for display, as a phone's rotation tag says: a quarter
// turn clockwise, a half turn, three quarters, or none. The ring is found and the frame map
// made on the frames as displayed; the map's points are carried back to the frames as
// stored, so no frame is ever turned.
class DisplayRotation {
 public:
  DisplayRotation() = default;
  // From the clockwise angle in degrees, rounded to a quarter turn.
  static DisplayRotation clockwise(double degrees);
  // From FFmpeg's display matrix (nine 16.16 and 2.30 fixed-point numbers); none for null.
  static DisplayRotation ofMatrix(const std::int32_t* matrix, double (*rotationOf)(const std::int32_t*));

  int quarterTurns() const { return quarters_; }
  bool swapsSides() const { return quarters_ % 2 == 1; }
  // The displayed size of a stored frame.
  std::uint32_t displayedWidth(std::uint32_t storedWidth, std::uint32_t storedHeight) const {
    return swapsSides() ? storedHeight : storedWidth;
  }
  std::uint32_t displayedHeight(std::uint32_t storedWidth, std::uint32_t storedHeight) const {
    return swapsSides() ? storedWidth : storedHeight;
  }
  // The stored frame's point (pixel centres at whole numbers) shown at displayed (x, y).
  void storedPoint(double x, double y, std::uint32_t storedWidth, std::uint32_t storedHeight, double& storedX,
                   double& storedY) const;
  // The displayed point of a stored frame's point: the inverse of storedPoint.
  void displayedPoint(double storedX, double storedY, std::uint32_t storedWidth, std::uint32_t storedHeight,
                      double& x, double& y) const;

 private:
  int quarters_ = 0;
};

}  // namespace kelmira

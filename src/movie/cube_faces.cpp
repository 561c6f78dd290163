#include "movie/cube_faces.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace kelmira {

namespace {

constexpr double kPi = 3.141592653589793;

// Face index and the face's own coordinates (-1 to 1, right and down) of a direction with
// x to the right, y up and z ahead.
int faceOf(double x, double y, double z, double& u, double& v) {
  const double ax = std::abs(x);
  const double ay = std::abs(y);
  const double az = std::abs(z);
  if (az >= ax && az >= ay) {
    if (z > 0) {
      u = x / az, v = -y / az;
      return 0;
    }
    u = -x / az, v = -y / az;
    return 2;
  }
  if (ax >= ay) {
    if (x > 0) {
      u = -z / ax, v = -y / ax;
      return 1;
    }
    u = z / ax, v = -y / ax;
    return 3;
  }
  if (y > 0) {
    u = x / ay, v = z / ay;
    return 4;
  }
  u = x / ay, v = -z / ay;
  return 5;
}

}  // namespace

PixelBlock equirectangularFromCube(const CubeFaces& faces, std::int32_t side) {
  const std::int64_t height = 2 * std::int64_t(side);
  const std::int64_t width = 2 * height;
  PixelBlock sphere = allocatePixelBlock(width, height);
  if (!sphere) return sphere;
  std::uint8_t* out = sphere.get();
  for (std::int64_t row = 0; row < height; ++row) {
    const double latitude = kPi / 2 - (row + 0.5) * kPi / height;
    for (std::int64_t column = 0; column < width; ++column, out += 3) {
      const double longitude = (column + 0.5) * 2 * kPi / width - kPi;
      double u = 0;
      double v = 0;
      const int face = faceOf(std::cos(latitude) * std::sin(longitude), std::sin(latitude),
                              std::cos(latitude) * std::cos(longitude), u, v);
      const auto px = std::clamp<std::int64_t>(static_cast<std::int64_t>((u + 1) / 2 * side), 0, side - 1);
      const auto py = std::clamp<std::int64_t>(static_cast<std::int64_t>((v + 1) / 2 * side), 0, side - 1);
      std::memcpy(out, faces[face] + 3 * (py * side + px), 3);
    }
  }
  return sphere;
}

}  // namespace kelmira

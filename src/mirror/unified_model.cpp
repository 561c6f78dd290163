#include "mirror/unified_model.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace kelmira {

namespace {
constexpr double kInfinity = std::numeric_limits<double>::infinity();
}  // namespace

std::unique_ptr<UnifiedModel> UnifiedModel::make(MirrorKind kind, const UnifiedCalibration& calibration,
                                                 std::string& why) {
  const UnifiedCalibration& k = calibration;
  for (double v : {k.fx, k.fy, k.skew, k.cx, k.cy, k.xi, k.k1, k.k2, k.p1, k.p2}) {
    if (!std::isfinite(v)) {
      why = "a parameter is not a finite number";
      return nullptr;
    }
  }
  if (k.fx <= 0 || k.fy <= 0) {
    why = "the focal lengths must be above 0";
    return nullptr;
  }
  if (k.xi < 0) {
    why = "xi must not be below 0";
    return nullptr;
  }
  return std::unique_ptr<UnifiedModel>(new UnifiedModel(kind, calibration));
}

UnifiedModel::UnifiedModel(MirrorKind kind, const UnifiedCalibration& calibration)
    : kind_(kind), calibration_(calibration) {
  const double xi = calibration_.xi;
  // Seen from (0, 0, -xi), the sphere's points beyond its horizon hide behind the front.
  lowestZ_ = xi <= 1 ? -xi : -1 / xi;
  // The radial factor r (1 + k1 r^2 + k2 r^4) keeps rising while 1 + 3 k1 u + 5 k2 u^2 > 0, u = r^2.
  const double a = 5 * calibration_.k2;
  const double b = 3 * calibration_.k1;
  largestSquare_ = kInfinity;
  if (a == 0) {
    if (b < 0) largestSquare_ = -1 / b;
  } else {
    const double discriminant = b * b - 4 * a;
    if (discriminant >= 0) {
      const double root = std::sqrt(discriminant);
      for (double u : {(-b - root) / (2 * a), (-b + root) / (2 * a)}) {
        if (u > 0) largestSquare_ = std::min(largestSquare_, u);
      }
    }
  }
  // A little inside the fold, where the inverse still converges.
  if (std::isfinite(largestSquare_)) largestSquare_ *= 0.98;
}

void UnifiedModel::distort(double x, double y, double& xd, double& yd) const {
  const UnifiedCalibration& k = calibration_;
  const double r2 = x * x + y * y;
  const double radial = 1 + k.k1 * r2 + k.k2 * r2 * r2;
  xd = x * radial + 2 * k.p1 * x * y + k.p2 * (r2 + 2 * x * x);
  yd = y * radial + k.p1 * (r2 + 2 * y * y) + 2 * k.p2 * x * y;
}

// Newton's method on the distortion, from the distorted point.
bool UnifiedModel::undistort(double xd, double yd, double& x, double& y) const {
  const UnifiedCalibration& k = calibration_;
  x = xd;
  y = yd;
  for (int i = 0; i < 40; ++i) {
    const double r2 = x * x + y * y;
    if (!(r2 < largestSquare_ * 1.5)) {
      // Started beyond the fold: pull back towards the centre and try again.
      const double shrink = std::sqrt(largestSquare_ / std::max(r2, 1e-300)) * 0.5;
      x *= shrink;
      y *= shrink;
      continue;
    }
    double fx = 0;
    double fy = 0;
    distort(x, y, fx, fy);
    fx -= xd;
    fy -= yd;
    const double radial = 1 + k.k1 * r2 + k.k2 * r2 * r2;
    const double slope = 2 * (k.k1 + 2 * k.k2 * r2);  // d radial / d (x or y), over x or y
    const double j11 = radial + x * x * slope + 2 * k.p1 * y + 6 * k.p2 * x;
    const double j12 = x * y * slope + 2 * k.p1 * x + 2 * k.p2 * y;
    const double j21 = x * y * slope + 2 * k.p1 * x + 2 * k.p2 * y;
    const double j22 = radial + y * y * slope + 6 * k.p1 * y + 2 * k.p2 * x;
    const double determinant = j11 * j22 - j12 * j21;
    if (determinant == 0 || !std::isfinite(determinant)) return false;
    const double dx = (j22 * fx - j12 * fy) / determinant;
    const double dy = (j11 * fy - j21 * fx) / determinant;
    x -= dx;
    y -= dy;
    if (std::abs(dx) + std::abs(dy) <= 1e-15 * (1 + std::abs(x) + std::abs(y))) break;
  }
  double cx = 0;
  double cy = 0;
  distort(x, y, cx, cy);
  const double error = std::abs(cx - xd) + std::abs(cy - yd);
  return error <= 1e-10 * (1 + std::abs(xd) + std::abs(yd)) && x * x + y * y < largestSquare_;
}

std::optional<CameraRay> UnifiedModel::rayAtPixel(ImagePoint pixel) const {
  const UnifiedCalibration& k = calibration_;
  const double yd = (pixel.y - k.cy) / k.fy;
  const double xd = (pixel.x - k.cx - k.skew * yd) / k.fx;
  double x = 0;
  double y = 0;
  if (!undistort(xd, yd, x, y)) return std::nullopt;
  // Back onto the sphere along the line from (0, 0, -xi) through (x, y, 1).
  const double r2 = x * x + y * y;
  const double discriminant = 1 + (1 - k.xi * k.xi) * r2;
  if (discriminant < 0) return std::nullopt;
  const double lambda = (k.xi + std::sqrt(discriminant)) / (1 + r2);
  const CameraRay ray{lambda * x, lambda * y, lambda - k.xi};
  if (!(ray.z > lowestZ_)) return std::nullopt;
  return ray;
}

std::optional<ImagePoint> UnifiedModel::pixelOf(const CameraRay& ray) const {
  const UnifiedCalibration& k = calibration_;
  const double length = std::sqrt(ray.x * ray.x + ray.y * ray.y + ray.z * ray.z);
  if (!(length > 0)) return std::nullopt;
  const double z = ray.z / length;
  if (!(z > lowestZ_)) return std::nullopt;
  const double depth = z + k.xi;
  const double x = ray.x / length / depth;
  const double y = ray.y / length / depth;
  if (!(x * x + y * y < largestSquare_)) return std::nullopt;
  double xd = 0;
  double yd = 0;
  distort(x, y, xd, yd);
  return ImagePoint{k.fx * xd + k.skew * yd + k.cx, k.fy * yd + k.cy};
}

}  // namespace kelmira

namespace kelmira {

// Along a circle of one elevation the point on the plane z = 1 only turns: its radius, and
// so the radial distortion, is the same all round.
void UnifiedModel::pixelsAtElevation(double cosElevation, double sinElevation, const double* cosines,
                                     const double* sines, std::size_t count, double* xs, double* ys) const {
  const UnifiedCalibration& k = calibration_;
  const double z = -sinElevation;
  const double radius = cosElevation / (z + k.xi);
  const double r2 = radius * radius;
  if (!(z > lowestZ_) || !(r2 < largestSquare_)) {
    for (std::size_t i = 0; i < count; ++i) xs[i] = ys[i] = std::numeric_limits<double>::quiet_NaN();
    return;
  }
  const double radial = 1 + k.k1 * r2 + k.k2 * r2 * r2;
  for (std::size_t i = 0; i < count; ++i) {
    const double x = radius * cosines[i];
    const double y = radius * sines[i];
    const double xd = x * radial + 2 * k.p1 * x * y + k.p2 * (r2 + 2 * x * x);
    const double yd = y * radial + k.p1 * (r2 + 2 * y * y) + 2 * k.p2 * x * y;
    xs[i] = k.fx * xd + k.skew * yd + k.cx;
    ys[i] = k.fy * yd + k.cy;
  }
}

}  // namespace kelmira

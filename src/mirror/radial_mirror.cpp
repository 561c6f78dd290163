#include "mirror/radial_mirror.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

namespace kelmira {

namespace {
constexpr double kDegrees = 180 / std::numbers::pi;
constexpr double kRounding = 1e-9;
constexpr double kRoundingDegrees = 1e-9;
}  // namespace

std::unique_ptr<MirrorModel> RadialMirror::placedAt(ImagePoint centre, double rimRadius) const {
  std::unique_ptr<MirrorModel> copy = clone();
  auto& radial = static_cast<RadialMirror&>(*copy);
  radial.centre_ = centre;
  radial.rimRadius_ = rimRadius > 0 && std::isfinite(rimRadius) ? rimRadius : 0;
  return copy;
}

// Bisection on the monotonic profile: the tables are short and the rows few.
std::optional<double> RadialMirror::fractionAtElevation(double elevation) const {
  double low = innermostFraction();
  double high = outermostFraction();
  const double first = elevationAtFraction(low);
  const double last = elevationAtFraction(high);
  // The ends' elevations, worked out another way, may come out a rounding beyond them.
  if (!(elevation >= std::min(first, last) - kRoundingDegrees && elevation <= std::max(first, last) + kRoundingDegrees)) {
    return std::nullopt;
  }
  const bool rising = last > first;
  for (int i = 0; i < 64 && high - low > 1e-15; ++i) {
    const double middle = (low + high) / 2;
    ((elevationAtFraction(middle) < elevation) == rising ? low : high) = middle;
  }
  return (low + high) / 2;
}

std::optional<CameraRay> RadialMirror::rayAtPixel(ImagePoint pixel) const {
  if (!placed()) return std::nullopt;
  const double dx = pixel.x - centre_.x;
  const double dy = pixel.y - centre_.y;
  double fraction = std::hypot(dx, dy) / rimRadius_;
  // A point on the innermost or outermost circle may come out a rounding beyond it.
  if (!(fraction >= innermostFraction() - kRounding && fraction <= outermostFraction() + kRounding)) return std::nullopt;
  fraction = std::clamp(fraction, innermostFraction(), outermostFraction());
  const double elevation = elevationAtFraction(fraction) / kDegrees;
  const double angle = std::atan2(dy, dx);
  const double across = std::cos(elevation);
  return CameraRay{across * std::cos(angle), across * std::sin(angle), -std::sin(elevation)};
}

std::optional<ImagePoint> RadialMirror::pixelOf(const CameraRay& ray) const {
  if (!placed()) return std::nullopt;
  const double across = std::hypot(ray.x, ray.y);
  const std::optional<double> fraction = fractionAtElevation(std::atan2(-ray.z, across) * kDegrees);
  if (!fraction) return std::nullopt;
  if (across == 0) return centre_;
  const double radius = *fraction * rimRadius_;
  return ImagePoint{centre_.x + radius * ray.x / across, centre_.y + radius * ray.y / across};
}

void RadialMirror::pixelsAtElevation(double cosElevation, double sinElevation, const double* cosines,
                                     const double* sines, std::size_t count, double* xs, double* ys) const {
  std::optional<double> fraction;
  if (placed()) fraction = fractionAtElevation(std::atan2(sinElevation, cosElevation) * kDegrees);
  for (std::size_t i = 0; i < count; ++i) {
    if (!fraction) {
      xs[i] = ys[i] = std::numeric_limits<double>::quiet_NaN();
      continue;
    }
    const double radius = *fraction * rimRadius_;
    xs[i] = centre_.x + radius * cosines[i];
    ys[i] = centre_.y + radius * sines[i];
  }
}

std::optional<ImagePoint> RadialMirror::centrePixel() const {
  if (!placed()) return std::nullopt;
  return centre_;
}

RadiusRange RadialMirror::seenPixelRadii() const {
  if (!placed()) return {0, 0};
  return {innermostFraction() * rimRadius_, outermostFraction() * rimRadius_};
}

}  // namespace kelmira

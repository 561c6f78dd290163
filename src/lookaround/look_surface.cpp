#include "lookaround/look_surface.h"

#include <cmath>
#include <numbers>

namespace kelmira {

namespace {

constexpr double kRadiansPerDegree = std::numbers::pi / 180.0;

// Whether `values` fall evenly from the first to the last, within a quarter of a step.
template <typename Value>
bool fallsEvenly(const RowElevations& rows, Value value) {
  const std::size_t n = rows.size();
  const double first = value(rows.at(0));
  const double step = (value(rows.at(n - 1)) - first) / static_cast<double>(n - 1);
  if (!(std::fabs(step) > 0.0)) return false;
  for (std::size_t k = 1; k + 1 < n; ++k) {
    if (std::fabs(value(rows.at(k)) - (first + step * static_cast<double>(k))) > 0.25 * std::fabs(step)) return false;
  }
  return true;
}

}  // namespace

LookSurface LookSurface::cylinder(double topTangent, double bottomTangent, std::int32_t rows) {
  LookSurface surface;
  surface.kind_ = LookSurfaceKind::Cylinder;
  surface.rows_ = rows;
  surface.first_ = topTangent;
  surface.step_ = rows > 1 ? (bottomTangent - topTangent) / (rows - 1) : 0.0;
  return surface;
}

LookSurface LookSurface::squareCylinder(std::int32_t width, std::int32_t rows) {
  const double radius = width / (2.0 * std::numbers::pi);
  const double top = radius > 0.0 ? (rows / 2.0 - 0.5) / radius : 0.0;
  return cylinder(top, -top, rows);
}

LookSurface LookSurface::band(double topElevation, double bottomElevation, std::int32_t rows) {
  LookSurface surface;
  surface.kind_ = LookSurfaceKind::Band;
  surface.rows_ = rows;
  surface.first_ = topElevation * kRadiansPerDegree;
  surface.step_ = rows > 1 ? (bottomElevation - topElevation) * kRadiansPerDegree / (rows - 1) : 0.0;
  return surface;
}

LookSurface LookSurface::forRows(const RowElevations& rows, std::int32_t width) {
  const auto count = static_cast<std::int32_t>(rows.size());
  if (count >= 3 && rows.top() < 90.0 && rows.bottom() > -90.0) {
    if (fallsEvenly(rows, [](double degrees) { return degrees; })) return band(rows.top(), rows.bottom(), count);
    const auto tangent = [](double degrees) { return std::tan(degrees * kRadiansPerDegree); };
    if (fallsEvenly(rows, tangent)) return cylinder(tangent(rows.top()), tangent(rows.bottom()), count);
  }
  return squareCylinder(width, count);
}

double LookSurface::topElevation() const {
  return (kind_ == LookSurfaceKind::Band ? first_ : std::atan(first_)) / kRadiansPerDegree;
}

double LookSurface::bottomElevation() const {
  const double last = first_ + step_ * (rows_ > 1 ? rows_ - 1 : 0);
  return (kind_ == LookSurfaceKind::Band ? last : std::atan(last)) / kRadiansPerDegree;
}

double LookSurface::rowOfTangent(double tangent) const {
  if (step_ == 0.0) return 0.0;
  const double value = kind_ == LookSurfaceKind::Band ? std::atan(tangent) : tangent;
  return (value - first_) / step_;
}

}  // namespace kelmira

#include "unwarp/circle_fit.h"

#include <algorithm>
#include <cmath>

namespace kelmira {

namespace {

struct Circle {
  double x = 0;
  double y = 0;
  double r = 0;
};

// Solves the 3 x 3 system a v = b by Cramer's rule; false when it is singular.
bool solve3(const double a[3][3], const double b[3], double v[3]) {
  const auto det = [](const double m[3][3]) {
    return m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) - m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0]) +
           m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
  };
  const double d = det(a);
  if (!(std::abs(d) > 1e-12)) return false;
  for (int column = 0; column < 3; ++column) {
    double m[3][3];
    for (int i = 0; i < 3; ++i)
      for (int j = 0; j < 3; ++j) m[i][j] = j == column ? b[i] : a[i][j];
    v[column] = det(m) / d;
  }
  return true;
}

// Weighted algebraic fit (Kasa): x² + y² + D x + E y + F = 0 in least squares, points
// taken relative to their mean so the sums stay well scaled.
std::optional<Circle> algebraicFit(const std::vector<EdgePoint>& points, const std::vector<double>& weights) {
  double sw = 0, mx = 0, my = 0;
  for (std::size_t i = 0; i < points.size(); ++i) {
    sw += weights[i];
    mx += weights[i] * points[i].x;
    my += weights[i] * points[i].y;
  }
  if (!(sw > 0)) return std::nullopt;
  mx /= sw;
  my /= sw;
  double a[3][3] = {};
  double b[3] = {};
  for (std::size_t i = 0; i < points.size(); ++i) {
    const double w = weights[i];
    if (w <= 0) continue;
    const double x = points[i].x - mx;
    const double y = points[i].y - my;
    const double z = x * x + y * y;
    const double row[3] = {x, y, 1};
    for (int p = 0; p < 3; ++p) {
      for (int q = 0; q < 3; ++q) a[p][q] += w * row[p] * row[q];
      b[p] -= w * row[p] * z;
    }
  }
  double v[3];
  if (!solve3(a, b, v)) return std::nullopt;
  const double cx = -v[0] / 2;
  const double cy = -v[1] / 2;
  const double r2 = cx * cx + cy * cy - v[2];
  if (!(r2 > 0)) return std::nullopt;
  return Circle{cx + mx, cy + my, std::sqrt(r2)};
}

// Weighted Gauss-Newton steps on the distances from the circle.
Circle geometricFit(const std::vector<EdgePoint>& points, const std::vector<double>& weights, Circle c) {
  for (int step = 0; step < 10; ++step) {
    double a[3][3] = {};
    double b[3] = {};
    for (std::size_t i = 0; i < points.size(); ++i) {
      const double w = weights[i];
      if (w <= 0) continue;
      const double dx = points[i].x - c.x;
      const double dy = points[i].y - c.y;
      const double d = std::hypot(dx, dy);
      if (d < 1e-9) continue;
      const double residual = d - c.r;
      const double j[3] = {-dx / d, -dy / d, -1};
      for (int p = 0; p < 3; ++p) {
        for (int q = 0; q < 3; ++q) a[p][q] += w * j[p] * j[q];
        b[p] -= w * j[p] * residual;
      }
    }
    double delta[3];
    if (!solve3(a, b, delta)) break;
    c.x += delta[0];
    c.y += delta[1];
    c.r += delta[2];
    if (std::abs(delta[0]) + std::abs(delta[1]) + std::abs(delta[2]) < 1e-6) break;
  }
  return c;
}

double median(std::vector<double> values) {
  if (values.empty()) return 0;
  const auto middle = values.begin() + static_cast<std::ptrdiff_t>(values.size() / 2);
  std::nth_element(values.begin(), middle, values.end());
  return *middle;
}

}  // namespace

std::optional<FittedCircle> fitCircleRobustly(const std::vector<EdgePoint>& points, double tolerance) {
  if (points.size() < 3) return std::nullopt;
  std::vector<double> weights(points.size(), 1.0);
  std::optional<Circle> start = algebraicFit(points, weights);
  if (!start) return std::nullopt;
  Circle c = *start;
  std::vector<double> residuals(points.size());
  double band = 2 * tolerance;
  for (int round = 0; round < 8; ++round) {
    for (std::size_t i = 0; i < points.size(); ++i) {
      residuals[i] = std::hypot(points[i].x - c.x, points[i].y - c.y) - c.r;
    }
    std::vector<double> magnitudes(residuals.size());
    std::transform(residuals.begin(), residuals.end(), magnitudes.begin(), [](double r) { return std::abs(r); });
    // Tukey's constant over the robust spread, never so tight that half a pixel counts as wrong.
    band = std::max(4.685 * 1.4826 * median(magnitudes), 2 * tolerance);
    for (std::size_t i = 0; i < points.size(); ++i) {
      const double u = residuals[i] / band;
      weights[i] = std::abs(u) < 1 ? (1 - u * u) * (1 - u * u) : 0;
    }
    const Circle next = geometricFit(points, weights, c);
    if (!(next.r > 0) || !std::isfinite(next.x) || !std::isfinite(next.y)) break;
    const bool settled = std::abs(next.x - c.x) + std::abs(next.y - c.y) + std::abs(next.r - c.r) < 1e-4;
    c = next;
    if (settled) break;
  }
  FittedCircle fitted{c.x, c.y, c.r, 0, 0};
  double squares = 0;
  for (const EdgePoint& p : points) {
    const double residual = std::hypot(p.x - c.x, p.y - c.y) - c.r;
    if (std::abs(residual) > tolerance) continue;
    ++fitted.inliers;
    squares += residual * residual;
  }
  if (fitted.inliers < 3) return std::nullopt;
  fitted.rmsResidual = std::sqrt(squares / static_cast<double>(fitted.inliers));
  return fitted;
}

}  // namespace kelmira

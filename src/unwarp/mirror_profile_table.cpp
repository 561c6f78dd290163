#include "unwarp/mirror_profile_table.h"

#include <cmath>

namespace kelmira {

namespace mirror_model {

double mirrorIntersection(double f, double t) {
  const double n = f - 1.611533 * t;
  const double q = t * t * 2.597038610089 - t * f * 3.223066 + f * f - t * t * (-10.085588690488);
  return (n - std::sqrt(q)) / (-0.028052 * t);
}

double mirrorSlope(double u) { return u * (u * 0.000732 - 0.076) + 2.368; }

std::pair<double, double> mirrorPoint(double f, double t) {
  if (t <= 0) return {0.0, 0.0};
  const double e = mirrorIntersection(f, t);
  return {e, (f / t) * e};
}

double reflectedRayAngle(double f, double t, double e) {
  if (t <= 0) return 0.0;
  const double g = mirrorSlope(e);
  return std::atan(g) + halfPi - std::atan(f / t) + std::atan(-1 / g);
}

double heightOnCylinder(double angle, double e, double z, double R) { return std::tan(angle) * (R - e) + z; }

}  // namespace mirror_model

MirrorProfileTable buildMirrorProfileTable() {
  using namespace mirror_model;
  MirrorProfileTable table{};
  double t = firstTableRadius;
  for (auto& entry : table.entries) {
    const auto [e, z] = mirrorPoint(focalLength, t);
    const double angle = reflectedRayAngle(focalLength, t, e);
    entry = {t, heightOnCylinder(angle, e, z, cylinderRadius)};
    t = t + tableStep;  // accumulated, not t0 + k * step: the table depends on it
  }
  return table;
}

double radiusForRow(std::uint32_t row, std::uint32_t rowCount, const MirrorProfileTable& table) {
  const auto& e = table.entries;
  constexpr int last = MirrorProfileTable::kSize - 1;
  const double top = e[0].cylinderHeight;
  const double bottom = e[last].cylinderHeight;
  const double target = top - ((top - bottom) / rowCount) * row;
  if (target >= top) return e[0].imageRadius;
  if (target <= bottom) return e[last].imageRadius;
  int lo = 0;
  int hi = last;
  while (hi - lo > 1) {
    const int mid = (lo + hi) / 2;
    if (target > e[mid].cylinderHeight) {
      hi = mid;
    } else if (target == e[mid].cylinderHeight) {
      return e[mid].imageRadius;
    } else {
      lo = mid;
    }
  }
  return e[lo].imageRadius +
         (e[hi].imageRadius - e[lo].imageRadius) / (e[hi].cylinderHeight - e[lo].cylinderHeight) *
             (target - e[lo].cylinderHeight);
}

}  // namespace kelmira

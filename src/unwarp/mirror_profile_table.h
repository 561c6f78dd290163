#pragma once

#include <array>
#include <cstdint>
#include <utility>

namespace kelmira {

// The optical model of the panoramic mirror. Radii and heights share one unit;
// only the numbers matter.
namespace mirror_model {
inline constexpr double focalLength = 20.0;
inline constexpr double cylinderRadius = 200.0;
inline constexpr double firstTableRadius = 1.76;
inline constexpr double tableStep = 0.01004;
inline constexpr double imageScaleFactor = 0.117096018735363;  // 1 / 8.54
inline constexpr double twoPi = 6.283185307179586;
inline constexpr double halfPi = 1.5707963267948966;

double mirrorIntersection(double f, double t);
double mirrorSlope(double u);
// (radial e, axial z) of the mirror point seen at image radius t.
std::pair<double, double> mirrorPoint(double f, double t);
double reflectedRayAngle(double f, double t, double e);
double heightOnCylinder(double angle, double e, double z, double R);
}  // namespace mirror_model

struct MirrorProfileEntry {
  double imageRadius;
  double cylinderHeight;
};

// 250 samples of the mirror profile: radius grows and height falls strictly with the index.
struct MirrorProfileTable {
  static constexpr int kSize = 250;
  std::array<MirrorProfileEntry, kSize> entries;
};

MirrorProfileTable buildMirrorProfileTable();

// Image radius (profile units) for panorama row `row` of `rowCount`: rows are evenly
// spaced in cylinder height from the top of the table downwards.
double radiusForRow(std::uint32_t row, std::uint32_t rowCount, const MirrorProfileTable& table);

}  // namespace kelmira

#pragma once

#include <cstdint>

#include "unwarp/row_elevations.h"

namespace kelmira {

// How a panorama's rows stand round the viewer: on a cylinder, where equal steps down the
// rows are equal steps of the tangent of the elevation, or as a band of the equirectangular
// sphere, where they are equal steps of the elevation itself.
enum class LookSurfaceKind { Cylinder, Band };

// The vertical geometry of a panorama for the look-around view: which row, between rows,
// looks at a given elevation. Rows are counted at their centres, 0 the top one.
class LookSurface {
 public:
  // A cylinder whose first and last rows look at the tangents `topTangent` and `bottomTangent`.
  static LookSurface cylinder(double topTangent, double bottomTangent, std::int32_t rows);
  // The strip as a panorama movie shows it: a cylinder as round as the panorama is wide, its
  // pixels square on it, the horizon across its middle.
  static LookSurface squareCylinder(std::int32_t width, std::int32_t rows);
  // A band of the sphere from the first row's elevation to the last's, in degrees.
  static LookSurface band(double topElevation, double bottomElevation, std::int32_t rows);
  // The surface of a panorama whose rows look at `rows`: a band when they fall evenly in
  // degrees (a calibrated mirror, a cube's sphere), a cylinder when they fall evenly in
  // tangent (a panorama movie's cylinder), otherwise the square cylinder of its width.
  static LookSurface forRows(const RowElevations& rows, std::int32_t width);

  LookSurfaceKind kind() const { return kind_; }
  std::int32_t rows() const { return rows_; }
  // The elevations of the first and the last rows' centres, in degrees.
  double topElevation() const;
  double bottomElevation() const;
  // The row, between rows, that a ray of elevation tangent `tangent` meets; not clamped.
  double rowOfTangent(double tangent) const;

  // Row = (value - first) / step, where value is the tangent (cylinder) or the elevation in
  // radians (band).
  double first() const { return first_; }
  double step() const { return step_; }

 private:
  LookSurfaceKind kind_ = LookSurfaceKind::Cylinder;
  std::int32_t rows_ = 0;
  double first_ = 0.0;
  double step_ = 0.0;
};

}  // namespace kelmira

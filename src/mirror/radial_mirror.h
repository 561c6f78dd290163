#pragma once

#include "mirror/mirror_model.h"

namespace kelmira {

// A rotationally symmetric mirror known by the elevation it sees at each fraction of its
// rim's radius: it takes its centre and rim from the photograph (placedAt). The
// elevation changes strictly one way between the innermost and outermost fraction.
class RadialMirror : public MirrorModel {
 public:
  bool calibrated() const override { return false; }
  std::unique_ptr<MirrorModel> placedAt(ImagePoint centre, double rimRadius) const override;
  bool placed() const { return rimRadius_ > 0; }
  double rimRadius() const { return rimRadius_; }

  // The elevation (degrees, away from the camera) at a fraction of the rim's radius
  // within [innermostFraction, outermostFraction].
  virtual double elevationAtFraction(double fraction) const = 0;
  virtual double innermostFraction() const = 0;
  virtual double outermostFraction() const = 0;
  // The fraction that sees the elevation; none outside the mirror's range.
  virtual std::optional<double> fractionAtElevation(double elevation) const;

 protected:
  RadialMirror() = default;
  RadialMirror(const RadialMirror&) = default;

  std::optional<CameraRay> rayAtPixel(ImagePoint pixel) const override;
  std::optional<ImagePoint> pixelOf(const CameraRay& ray) const override;
  std::optional<ImagePoint> centrePixel() const override;
  RadiusRange seenPixelRadii() const override;
  void pixelsAtElevation(double cosElevation, double sinElevation, const double* cosines, const double* sines,
                         std::size_t count, double* xs, double* ys) const override;

 private:
  ImagePoint centre_;
  double rimRadius_ = 0;
};

}  // namespace kelmira

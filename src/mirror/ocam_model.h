#pragma once

#include <string>
#include <vector>

#include "mirror/mirror_model.h"

namespace kelmira {

// What an OCamCalib calib_results.txt holds. Its rows and columns are the picture's: the
// "x" of the toolbox runs down the rows and its "y" along the columns.
struct OcamCalibration {
  std::vector<double> direct;   // cam2world: the ray's z at radius rho is a0 + a1 rho + a2 rho^2 ...
  std::vector<double> inverse;  // world2cam's polynomial in the ray's angle, kept as read
  double centreRow = 0;
  double centreColumn = 0;
  double c = 1;  // the affine stretch: row = c x + d y + centreRow, column = e x + y + centreColumn
  double d = 0;
  double e = 0;
  std::optional<ImageSize> size;
};

// Scaramuzza's model: the ray of a pixel comes from the direct polynomial, and a ray's
// pixel from the same polynomial solved for the radius, so the two are exact inverses
// (the file's inverse polynomial is only a fit of it). The model sees out to where its
// elevation stops rising.
class OcamModel final : public MirrorModel {
 public:
  // None, with the reason, when the numbers cannot be a camera.
  static std::unique_ptr<OcamModel> make(const OcamCalibration& calibration, std::string& why);

  MirrorKind kind() const override { return MirrorKind::OcamCalib; }
  bool calibrated() const override { return true; }
  std::optional<ImageSize> calibrationSize() const override { return calibration_.size; }
  std::unique_ptr<MirrorModel> clone() const override { return std::make_unique<OcamModel>(*this); }
  const OcamCalibration& calibration() const { return calibration_; }

  OcamModel(const OcamModel&) = default;

 protected:
  std::optional<CameraRay> rayAtPixel(ImagePoint pixel) const override;
  std::optional<ImagePoint> pixelOf(const CameraRay& ray) const override;
  std::optional<ImagePoint> centrePixel() const override;
  RadiusRange seenPixelRadii() const override { return {0, maxRadius_}; }
  void pixelsAtElevation(double cosElevation, double sinElevation, const double* cosines, const double* sines,
                         std::size_t count, double* xs, double* ys) const override;

 private:
  explicit OcamModel(const OcamCalibration& calibration);
  double polynomial(double rho) const;
  // The model's elevation, in radians, at radius rho.
  double elevation(double rho) const;
  std::optional<double> radiusFor(double cosElevation, double sinElevation) const;

  OcamCalibration calibration_;
  double towardScene_ = 1;  // 1 when a0 < 0: the toolbox's z then points away from the camera
  double maxRadius_ = 0;
};

}  // namespace kelmira

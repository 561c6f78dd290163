#pragma once

#include <string>

#include "mirror/mirror_model.h"

namespace kelmira {

// The unified model of Mei, as OpenCV's omnidir module and Kalibr's omni camera write it:
// a ray is put on the unit sphere, seen from xi behind the sphere's centre onto the plane
// z = 1, distorted radially (k1, k2) and tangentially (p1, p2), and scaled to pixels.
struct UnifiedCalibration {
  double fx = 0;
  double fy = 0;
  double skew = 0;
  double cx = 0;
  double cy = 0;
  double xi = 0;
  double k1 = 0;
  double k2 = 0;
  double p1 = 0;
  double p2 = 0;
  std::optional<ImageSize> size;
};

// The model's z runs along the ray the centre sees, so its frame is the camera frame of
// OpenCV and Kalibr. It sees the rays in front of the sphere's horizon from the projection
// centre, out to where the radial distortion would fold back.
class UnifiedModel final : public MirrorModel {
 public:
  static std::unique_ptr<UnifiedModel> make(MirrorKind kind, const UnifiedCalibration& calibration, std::string& why);

  MirrorKind kind() const override { return kind_; }
  bool calibrated() const override { return true; }
  std::optional<ImageSize> calibrationSize() const override { return calibration_.size; }
  std::unique_ptr<MirrorModel> clone() const override { return std::make_unique<UnifiedModel>(*this); }
  const UnifiedCalibration& calibration() const { return calibration_; }

  UnifiedModel(const UnifiedModel&) = default;

 protected:
  std::optional<CameraRay> rayAtPixel(ImagePoint pixel) const override;
  std::optional<ImagePoint> pixelOf(const CameraRay& ray) const override;
  std::optional<ImagePoint> centrePixel() const override { return ImagePoint{calibration_.cx, calibration_.cy}; }
  void pixelsAtElevation(double cosElevation, double sinElevation, const double* cosines, const double* sines,
                         std::size_t count, double* xs, double* ys) const override;

 private:
  UnifiedModel(MirrorKind kind, const UnifiedCalibration& calibration);
  // The distorted point of an undistorted one on the plane z = 1.
  void distort(double x, double y, double& xd, double& yd) const;
  bool undistort(double xd, double yd, double& x, double& y) const;

  MirrorKind kind_;
  UnifiedCalibration calibration_;
  double lowestZ_ = 0;         // rays with z at or below this are not seen
  double largestSquare_ = 0;   // of the undistorted radius, where the distortion folds back
};

}  // namespace kelmira

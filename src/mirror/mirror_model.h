#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <memory>
#include <optional>
#include <string_view>

#include "mirror/mirror_rig.h"

namespace kelmira {

enum class MirrorKind { OcamCalib, OpenCvOmnidir, KalibrOmni, Table, Described };

// "OCamCalib", "OpenCV omnidir", "Kalibr omni", "mirror table", "Kelmira mirror".
std::string_view mirrorKindName(MirrorKind kind);

struct ImageSize {
  std::int32_t width = 0;
  std::int32_t height = 0;
};

// Distances from the centre, in photograph pixels, between which a model sees the scene.
struct RadiusRange {
  double inner = 0;
  double outer = std::numeric_limits<double>::infinity();
};

// The optics of a mirror and camera: which ray each point of a round photograph sees, and
// the other way round. A calibration (OCamCalib, OpenCV omnidir, Kalibr) knows where its
// centre lies and how large its pixels are; a table or the described mirror know only the
// elevation for each fraction of the rim's radius, and are placed on the photograph.
// Points and radii are the photograph's, also when the calibration was made on a picture
// of another size (scaledForPhoto).
class MirrorModel {
 public:
  virtual ~MirrorModel() = default;

  virtual MirrorKind kind() const = 0;
  virtual bool calibrated() const = 0;
  // The picture size the calibration was made at, when its file says.
  virtual std::optional<ImageSize> calibrationSize() const { return std::nullopt; }
  virtual std::unique_ptr<MirrorModel> clone() const = 0;

  // A copy for a photograph `factor` times the calibration's picture in each direction.
  std::unique_ptr<MirrorModel> scaledForPhoto(double factor) const;
  double photoScale() const { return scale_; }
  // A copy centred on `centre` with its rim `rimRadius` pixels out; a calibration keeps
  // its own centre and scale.
  virtual std::unique_ptr<MirrorModel> placedAt(ImagePoint centre, double rimRadius) const;
  // Where the camera is seen (the centre); none for a table not yet placed.
  std::optional<ImagePoint> centre() const;
  RadiusRange seenRadii() const;

  // The ray the point sees; none where the model sees nothing.
  std::optional<CameraRay> rayAt(ImagePoint point) const;
  // Where the ray shows; none where the model does not see it.
  std::optional<ImagePoint> pointOf(const CameraRay& ray) const;
  std::optional<SkyDirection> directionAt(ImagePoint point, Rig rig) const;
  std::optional<ImagePoint> pointOf(const SkyDirection& direction, Rig rig) const;
  // The points of the rays at one elevation of the model (degrees, away from the camera)
  // whose angles on the photograph have the given cosines and sines: one unwarp row.
  // NaN where the model does not see the ray.
  void pointsAtElevation(double elevation, const double* cosines, const double* sines, std::size_t count, double* xs,
                         double* ys) const;

 protected:
  MirrorModel() = default;
  MirrorModel(const MirrorModel&) = default;
  MirrorModel& operator=(const MirrorModel&) = default;

  // The same in the calibration's own pixels.
  virtual std::optional<CameraRay> rayAtPixel(ImagePoint pixel) const = 0;
  virtual std::optional<ImagePoint> pixelOf(const CameraRay& ray) const = 0;
  virtual std::optional<ImagePoint> centrePixel() const = 0;
  virtual RadiusRange seenPixelRadii() const { return {}; }
  // By default one ray at a time; models that share work along a circle do better.
  virtual void pixelsAtElevation(double cosElevation, double sinElevation, const double* cosines, const double* sines,
                                 std::size_t count, double* xs, double* ys) const;

 private:
  double scale_ = 1;
};

}  // namespace kelmira

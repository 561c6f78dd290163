#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "mirror/mirror_model.h"
#include "mirror/source_map.h"
#include "unwarp/row_elevations.h"

namespace kelmira {

// What the photograph and the user say about where the ring lies.
struct PanoramaPlacement {
  // For a table or the described mirror (from --centre or the ring finder); a calibration
  // uses its own. Without one, the photograph's middle.
  std::optional<ImagePoint> centre;
  // Where the scene ends (--ring-radius); else, and for a calibration at most, the largest
  // circle about the centre that lies inside the photograph.
  std::optional<double> rimRadius;
  // Where it starts (--inner-radius); else a fifth of the rim's, where a camera's
  // reflection usually ends.
  std::optional<double> innerRadius;
  // Columns of the panorama, made even; 0: the ring's middle circumference, pi (inner + rim).
  std::int32_t width = 0;
};

// The panorama of a calibrated mirror: a band of the equirectangular sphere. Column j looks
// at azimuth j x 360 / width (turning right as the columns go right, 0 right of the centre
// on the photograph); the rows, sky up, are the sphere's rows (width / 2 to 180 degrees)
// whose middles lie between the elevations the mirror sees at the inner and the rim
// radius, so pixels are square on the horizon and the 360-degree photo needs no vertical
// resampling.
class CalibratedPanorama {
 public:
  // None, with the reason, when the placement leaves no ring or the model does not see
  // steadily rising (or falling) elevations across it.
  static std::optional<CalibratedPanorama> plan(const MirrorModel& model, Rig rig, ImageSize photo,
                                                const PanoramaPlacement& placement, std::string& why);

  // The model as placed on the photograph.
  const MirrorModel& model() const { return *model_; }
  Rig rig() const { return rig_; }
  ImageSize photo() const { return photo_; }
  ImagePoint centre() const { return centre_; }
  double rimRadius() const { return rimRadius_; }
  double innerRadius() const { return innerRadius_; }
  // The world's elevations at the two radii, in degrees (averaged round the circle).
  double innerElevation() const { return innerElevation_; }
  double rimElevation() const { return rimElevation_; }

  std::int32_t width() const { return width_; }
  std::int32_t height() const { return static_cast<std::int32_t>(rows_.size()); }
  const RowElevations& rows() const { return rows_; }
  // The first row's place on the sphere of width x width / 2 pixels.
  std::int32_t sphereTop() const { return sphereTop_; }
  double azimuthOfColumn(double column) const { return column * 360.0 / width_; }

  // Where each panorama pixel samples the photograph, worked out on every core; false
  // when the map's memory is not to be had.
  bool buildSourceMap(SourceMap& map) const;

 private:
  CalibratedPanorama() = default;
  double elevationOfRow(std::uint32_t row) const;

  std::shared_ptr<const MirrorModel> model_;
  Rig rig_ = Rig::CameraBelow;
  ImageSize photo_;
  ImagePoint centre_;
  double rimRadius_ = 0;
  double innerRadius_ = 0;
  double innerElevation_ = 0;
  double rimElevation_ = 0;
  std::int32_t width_ = 0;
  std::int32_t sphereTop_ = 0;
  RowElevations rows_;
};

// The widest panorama planned.
inline constexpr std::int32_t kWidestCalibratedPanorama = 1 << 15;

}  // namespace kelmira

#include "mirror/calibrated_panorama.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

#include "base/decimal_text.h"
#include "base/parallel_for.h"

namespace kelmira {

namespace {

constexpr int kDirections = 72;       // round a circle, for its mean elevation
constexpr int kSteadyDirections = 16;  // rays along which the elevations must change one way
constexpr int kSteadySteps = 128;
constexpr std::uint32_t kMapBandRows = 16;
constexpr double kRowMargin = 1e-9;  // degrees

std::string pixels(double value) { return generalDecimal(value, 6); }

ImagePoint onCircle(ImagePoint centre, double radius, double angle) {
  return {centre.x + radius * std::cos(angle), centre.y + radius * std::sin(angle)};
}

// The world's mean elevation round a circle about the centre; none where the model sees nothing.
std::optional<double> meanElevation(const MirrorModel& model, Rig rig, ImagePoint centre, double radius) {
  double sum = 0;
  for (int k = 0; k < kDirections; ++k) {
    const std::optional<SkyDirection> seen =
        model.directionAt(onCircle(centre, radius, k * (2 * std::numbers::pi / kDirections)), rig);
    if (!seen) return std::nullopt;
    sum += seen->elevation;
  }
  return sum / kDirections;
}

// Whether the elevation changes strictly one way (that of `rising`) out along rays from
// the inner to the outer radius.
bool steady(const MirrorModel& model, Rig rig, ImagePoint centre, double inner, double outer, bool rising) {
  for (int k = 0; k < kSteadyDirections; ++k) {
    const double angle = (k + 0.5) * (2 * std::numbers::pi / kSteadyDirections);
    std::optional<double> previous;
    for (int s = 0; s <= kSteadySteps; ++s) {
      const double radius = inner + (outer - inner) * s / kSteadySteps;
      const std::optional<SkyDirection> seen = model.directionAt(onCircle(centre, radius, angle), rig);
      if (!seen) return false;
      if (previous && (seen->elevation > *previous) != rising) return false;
      if (previous && seen->elevation == *previous) return false;
      previous = seen->elevation;
    }
  }
  return true;
}

}  // namespace

std::optional<CalibratedPanorama> CalibratedPanorama::plan(const MirrorModel& model, Rig rig, ImageSize photo,
                                                           const PanoramaPlacement& placement, std::string& why) {
  if (photo.width < 2 || photo.height < 2) {
    why = "the photograph is too small";
    return std::nullopt;
  }
  CalibratedPanorama made;
  made.rig_ = rig;
  made.photo_ = photo;
  if (model.calibrated()) {
    made.centre_ = *model.centre();
  } else {
    made.centre_ = placement.centre.value_or(ImagePoint{photo.width / 2.0, photo.height / 2.0});
  }
  const ImagePoint c = made.centre_;
  if (!(std::isfinite(c.x) && std::isfinite(c.y))) {
    why = "the centre is not a point";
    return std::nullopt;
  }
  const double inside = std::min({c.x, c.y, photo.width - 1 - c.x, photo.height - 1 - c.y});
  made.rimRadius_ = placement.rimRadius.value_or(inside);
  // A calibration's band ends inside the photograph, where there is something to see; a
  // table's rim is its scale, and stays where it is put.
  if (model.calibrated()) made.rimRadius_ = std::min(made.rimRadius_, inside);
  if (!(made.rimRadius_ >= 4 && made.rimRadius_ <= 4.0 * std::max(photo.width, photo.height))) {
    why = placement.rimRadius ? "the rim radius " + pixels(made.rimRadius_) + " does not fit the photograph"
                              : "the centre (" + pixels(c.x) + ", " + pixels(c.y) + ") lies at the photograph's edge";
    return std::nullopt;
  }
  made.model_ = model.calibrated() ? std::shared_ptr<const MirrorModel>(model.clone())
                                   : std::shared_ptr<const MirrorModel>(model.placedAt(c, made.rimRadius_));
  made.innerRadius_ = placement.innerRadius.value_or(made.rimRadius_ / 5);
  if (!(made.innerRadius_ >= 0 && made.innerRadius_ < made.rimRadius_)) {
    why = "the inner radius " + pixels(made.innerRadius_) + " must lie below the rim radius " +
          pixels(made.rimRadius_);
    return std::nullopt;
  }
  // Only what the model sees.
  const RadiusRange seen = made.model_->seenRadii();
  const double inner = std::max(made.innerRadius_, seen.inner);
  const double outer = std::min(made.rimRadius_, seen.outer);
  if (!(inner < outer)) {
    why = "the mirror sees nothing between the radii " + pixels(made.innerRadius_) + " and " + pixels(made.rimRadius_);
    return std::nullopt;
  }
  made.innerRadius_ = inner;
  made.rimRadius_ = outer;
  const std::optional<double> innerElevation = meanElevation(*made.model_, rig, c, inner);
  const std::optional<double> rimElevation = meanElevation(*made.model_, rig, c, outer);
  if (!innerElevation || !rimElevation || *innerElevation == *rimElevation ||
      !steady(*made.model_, rig, c, inner, outer, *rimElevation > *innerElevation)) {
    why = "the mirror's elevations do not change steadily from the radius " + pixels(inner) + " to " + pixels(outer);
    return std::nullopt;
  }
  made.innerElevation_ = *innerElevation;
  made.rimElevation_ = *rimElevation;

  std::int64_t width = placement.width > 0 ? placement.width : std::llround(std::numbers::pi * (inner + outer));
  width = std::max<std::int64_t>(8, width + (width & 1));
  if (width > kWidestCalibratedPanorama) {
    why = "a panorama " + std::to_string(width) + " pixels wide is too wide";
    return std::nullopt;
  }
  made.width_ = static_cast<std::int32_t>(width);
  // The rows of the sphere whose middles lie within the elevations, as the 360-degree photo
  // picks them.
  const std::int32_t sphereHeight = made.width_ / 2;
  const double rowsPerDegree = sphereHeight / 180.0;
  const double top = std::max(*innerElevation, *rimElevation);
  const double bottom = std::min(*innerElevation, *rimElevation);
  const auto first = static_cast<std::int32_t>(std::ceil((90.0 - top) * rowsPerDegree - 0.5));
  const auto last = static_cast<std::int32_t>(std::floor((90.0 - bottom) * rowsPerDegree - 0.5));
  if (last < first) {
    why = "the ring spans less than a row";
    return std::nullopt;
  }
  std::vector<double> degrees;
  degrees.reserve(static_cast<std::size_t>(last - first + 1));
  for (std::int32_t y = first; y <= last; ++y) degrees.push_back(90.0 - (y + 0.5) * 180.0 / sphereHeight);
  // The 360-degree photo works its first and last row out again from these elevations, and
  // they lie exactly on its grid, where a rounding could tip it a row in: a hair outwards,
  // they still give the same pixels row for row.
  degrees.front() += kRowMargin;
  degrees.back() -= kRowMargin;
  made.sphereTop_ = first;
  made.rows_ = RowElevations(std::move(degrees));
  return made;
}

double CalibratedPanorama::elevationOfRow(std::uint32_t row) const {
  return 90.0 - ((sphereTop_ + static_cast<std::int32_t>(row)) + 0.5) * 180.0 / (width_ / 2);
}

bool CalibratedPanorama::buildSourceMap(SourceMap& map) const {
  const auto columns = static_cast<std::uint32_t>(width_);
  const auto rowCount = static_cast<std::uint32_t>(rows_.size());
  if (!map.allocate(columns, rowCount)) return false;
  // Turning right runs counterclockwise on the photograph with the camera below.
  const double turn = rig_ == Rig::CameraBelow ? -1.0 : 1.0;
  std::vector<double> cosines(columns);
  std::vector<double> sines(columns);
  for (std::uint32_t j = 0; j < columns; ++j) {
    const double angle = turn * (j * (2 * std::numbers::pi) / columns);
    cosines[j] = std::cos(angle);
    sines[j] = std::sin(angle);
  }
  const std::size_t bands = (rowCount + kMapBandRows - 1) / kMapBandRows;
  parallelFor(bands, 0, [&](std::size_t band) {
    std::vector<double> xs(columns);
    std::vector<double> ys(columns);
    const auto first = static_cast<std::uint32_t>(band * kMapBandRows);
    const std::uint32_t end = std::min(rowCount, first + kMapBandRows);
    for (std::uint32_t row = first; row < end; ++row) {
      model_->pointsAtElevation(modelElevation(elevationOfRow(row), rig_), cosines.data(), sines.data(), columns, xs.data(),
                                ys.data());
      float* mapX = map.xRow(row);
      float* mapY = map.yRow(row);
      for (std::uint32_t j = 0; j < columns; ++j) {
        mapX[j] = static_cast<float>(xs[j]);
        mapY[j] = static_cast<float>(ys[j]);
      }
    }
  });
  return true;
}

}  // namespace kelmira

#include "mirror/ocam_model.h"

#include <cmath>
#include <numbers>

namespace kelmira {

namespace {

bool allFinite(const std::vector<double>& values) {
  for (double v : values) {
    if (!std::isfinite(v)) return false;
  }
  return true;
}

// Where the search for the model's outer edge gives up when the file names no size.
constexpr double kLongestRadius = 20000;
constexpr double kRadiusStep = 0.25;

}  // namespace

std::unique_ptr<OcamModel> OcamModel::make(const OcamCalibration& calibration, std::string& why) {
  const OcamCalibration& k = calibration;
  if (k.direct.empty() || !allFinite(k.direct) || !allFinite(k.inverse)) {
    why = "the direct polynomial is missing or not made of numbers";
    return nullptr;
  }
  if (k.direct[0] == 0) {
    why = "the direct polynomial's constant term is 0, so the centre sees no ray";
    return nullptr;
  }
  if (!std::isfinite(k.centreRow) || !std::isfinite(k.centreColumn) || !std::isfinite(k.c) || !std::isfinite(k.d) ||
      !std::isfinite(k.e)) {
    why = "the centre or the affine parameters are not numbers";
    return nullptr;
  }
  if (std::abs(k.c - k.d * k.e) < 1e-6) {
    why = "the affine parameters c, d, e cannot be inverted (c - d e is 0)";
    return nullptr;
  }
  std::unique_ptr<OcamModel> model(new OcamModel(calibration));
  if (model->maxRadius_ < 1) {
    why = "the direct polynomial's elevation does not rise from the centre";
    return nullptr;
  }
  return model;
}

OcamModel::OcamModel(const OcamCalibration& calibration)
    : calibration_(calibration), towardScene_(calibration.direct[0] < 0 ? 1 : -1) {
  // Out to a quarter beyond the picture's corners, while the elevation rises.
  double limit = kLongestRadius;
  if (calibration_.size) {
    limit = 1.25 * std::hypot(calibration_.size->width, calibration_.size->height) / 2;
  }
  double previous = elevation(0);
  double rho = 0;
  while (rho + kRadiusStep <= limit) {
    const double next = elevation(rho + kRadiusStep);
    if (!(next > previous)) break;
    previous = next;
    rho += kRadiusStep;
  }
  maxRadius_ = rho;
}

double OcamModel::polynomial(double rho) const {
  const std::vector<double>& a = calibration_.direct;
  double value = 0;
  for (std::size_t i = a.size(); i-- > 0;) value = value * rho + a[i];
  return value;
}

double OcamModel::elevation(double rho) const { return std::atan2(towardScene_ * polynomial(rho), rho); }

std::optional<CameraRay> OcamModel::rayAtPixel(ImagePoint pixel) const {
  const OcamCalibration& k = calibration_;
  const double row = pixel.y - k.centreRow;
  const double column = pixel.x - k.centreColumn;
  const double inverseDeterminant = 1 / (k.c - k.d * k.e);
  const double x = inverseDeterminant * (row - k.d * column);
  const double y = inverseDeterminant * (-k.e * row + k.c * column);
  const double rho = std::hypot(x, y);
  if (!(rho <= maxRadius_ * (1 + 1e-9))) return std::nullopt;  // on the edge give or take a rounding
  const double z = polynomial(rho);
  const double length = std::sqrt(x * x + y * y + z * z);
  return CameraRay{y / length, x / length, -towardScene_ * z / length};
}

std::optional<double> OcamModel::radiusFor(double cosElevation, double sinElevation) const {
  const double wanted = std::atan2(sinElevation, cosElevation);
  // The edge's elevation, worked out another way, may come out a rounding beyond it.
  if (!(wanted >= elevation(0) - 1e-12 && wanted <= elevation(maxRadius_) + 1e-12)) return std::nullopt;
  double low = 0;
  double high = maxRadius_;
  for (int i = 0; i < 64 && high - low > 1e-12 * (1 + high); ++i) {
    const double middle = (low + high) / 2;
    (elevation(middle) < wanted ? low : high) = middle;
  }
  return (low + high) / 2;
}

std::optional<ImagePoint> OcamModel::pixelOf(const CameraRay& ray) const {
  const double across = std::hypot(ray.x, ray.y);
  const std::optional<double> rho = radiusFor(across, -ray.z);
  if (!rho) return std::nullopt;
  if (across == 0) return centrePixel();
  const OcamCalibration& k = calibration_;
  const double x = *rho * ray.y / across;  // down the rows
  const double y = *rho * ray.x / across;  // along the columns
  return ImagePoint{k.e * x + y + k.centreColumn, k.c * x + k.d * y + k.centreRow};
}

void OcamModel::pixelsAtElevation(double cosElevation, double sinElevation, const double* cosines,
                                  const double* sines, std::size_t count, double* xs, double* ys) const {
  const std::optional<double> rho = radiusFor(cosElevation, sinElevation);
  const OcamCalibration& k = calibration_;
  for (std::size_t i = 0; i < count; ++i) {
    if (!rho) {
      xs[i] = ys[i] = std::numeric_limits<double>::quiet_NaN();
      continue;
    }
    const double x = *rho * sines[i];
    const double y = *rho * cosines[i];
    xs[i] = k.e * x + y + k.centreColumn;
    ys[i] = k.c * x + k.d * y + k.centreRow;
  }
}

std::optional<ImagePoint> OcamModel::centrePixel() const {
  return ImagePoint{calibration_.centreColumn, calibration_.centreRow};
}

}  // namespace kelmira

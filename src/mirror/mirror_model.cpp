#include "mirror/mirror_model.h"

#include <cmath>
#include <numbers>

namespace kelmira {

std::string_view mirrorKindName(MirrorKind kind) {
  switch (kind) {
    case MirrorKind::OcamCalib: return "OCamCalib";
    case MirrorKind::OpenCvOmnidir: return "OpenCV omnidir";
    case MirrorKind::KalibrOmni: return "Kalibr omni";
    case MirrorKind::Table: return "mirror table";
    case MirrorKind::Described: return "Kelmira mirror";
  }
  return "mirror";
}

std::unique_ptr<MirrorModel> MirrorModel::scaledForPhoto(double factor) const {
  std::unique_ptr<MirrorModel> copy = clone();
  copy->scale_ = scale_ * factor;
  return copy;
}

std::unique_ptr<MirrorModel> MirrorModel::placedAt(ImagePoint, double) const { return clone(); }

// A pixel of the calibration's picture covers `scale` pixels of the photograph: their
// pixels' edges line up, not their centres.
std::optional<ImagePoint> MirrorModel::centre() const {
  const std::optional<ImagePoint> pixel = centrePixel();
  if (!pixel) return std::nullopt;
  return ImagePoint{(pixel->x + 0.5) * scale_ - 0.5, (pixel->y + 0.5) * scale_ - 0.5};
}

RadiusRange MirrorModel::seenRadii() const {
  const RadiusRange pixels = seenPixelRadii();
  return {pixels.inner * scale_, pixels.outer * scale_};
}

std::optional<CameraRay> MirrorModel::rayAt(ImagePoint point) const {
  return rayAtPixel({(point.x + 0.5) / scale_ - 0.5, (point.y + 0.5) / scale_ - 0.5});
}

std::optional<ImagePoint> MirrorModel::pointOf(const CameraRay& ray) const {
  const std::optional<ImagePoint> pixel = pixelOf(ray);
  if (!pixel) return std::nullopt;
  return ImagePoint{(pixel->x + 0.5) * scale_ - 0.5, (pixel->y + 0.5) * scale_ - 0.5};
}

std::optional<SkyDirection> MirrorModel::directionAt(ImagePoint point, Rig rig) const {
  const std::optional<CameraRay> ray = rayAt(point);
  if (!ray) return std::nullopt;
  return skyDirection(*ray, rig);
}

std::optional<ImagePoint> MirrorModel::pointOf(const SkyDirection& direction, Rig rig) const {
  return pointOf(cameraRay(direction, rig));
}

void MirrorModel::pointsAtElevation(double elevation, const double* cosines, const double* sines, std::size_t count,
                                    double* xs, double* ys) const {
  const double radians = elevation * (std::numbers::pi / 180);
  pixelsAtElevation(std::cos(radians), std::sin(radians), cosines, sines, count, xs, ys);
  if (scale_ == 1) return;
  for (std::size_t i = 0; i < count; ++i) {
    xs[i] = (xs[i] + 0.5) * scale_ - 0.5;
    ys[i] = (ys[i] + 0.5) * scale_ - 0.5;
  }
}

void MirrorModel::pixelsAtElevation(double cosElevation, double sinElevation, const double* cosines,
                                    const double* sines, std::size_t count, double* xs, double* ys) const {
  constexpr double kNothing = std::numeric_limits<double>::quiet_NaN();
  for (std::size_t i = 0; i < count; ++i) {
    const std::optional<ImagePoint> pixel =
        pixelOf({cosElevation * cosines[i], cosElevation * sines[i], -sinElevation});
    xs[i] = pixel ? pixel->x : kNothing;
    ys[i] = pixel ? pixel->y : kNothing;
  }
}

}  // namespace kelmira

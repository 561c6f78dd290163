#include "mirror/mirror_report.h"

#include <algorithm>

#include "base/decimal_text.h"
#include "mirror/calibrated_panorama.h"
#include "mirror/radial_mirror.h"

namespace kelmira {

namespace {

std::string degrees(double value) { return fixedDecimal(value, 1); }
std::string pixels(double value) { return fixedDecimal(value, 2); }

}  // namespace

std::string describeMirror(const MirrorModel& model, Rig rig) {
  std::string text = "kind: " + std::string(mirrorKindName(model.kind())) + "\n";
  text += "rig: " + std::string(rigName(rig)) + "\n";
  if (!model.calibrated()) {
    const auto& radial = static_cast<const RadialMirror&>(model);
    const double inner = radial.innermostFraction();
    const double outer = radial.outermostFraction();
    text += "centre: from the photograph (the ring finder or --centre)\n";
    text += "elevations: " + degrees(modelElevation(radial.elevationAtFraction(inner), rig)) + " at " +
            fixedDecimal(inner, 3) + " of the rim's radius to " +
            degrees(modelElevation(radial.elevationAtFraction(outer), rig)) + " at " + fixedDecimal(outer, 3) + "\n";
    const double from = std::clamp(0.2, inner, outer);
    text += "panorama: " + degrees(modelElevation(radial.elevationAtFraction(from), rig)) + " to " +
            degrees(modelElevation(radial.elevationAtFraction(outer), rig)) + " degrees\n";
    return text;
  }
  const ImagePoint centre = *model.centre();
  const std::optional<ImageSize> size = model.calibrationSize();
  text += "image size: " +
          (size ? std::to_string(size->width) + " x " + std::to_string(size->height) : std::string("not in the file")) +
          "\n";
  if (model.photoScale() != 1) text += "scaled by: " + fixedDecimal(model.photoScale(), 4) + "\n";
  text += "centre: " + pixels(centre.x) + ", " + pixels(centre.y) + "\n";
  // Without the picture's size, the frame is taken to be as far beyond the centre as before it.
  const ImageSize frame = size ? ImageSize{static_cast<std::int32_t>(size->width * model.photoScale() + 0.5),
                                           static_cast<std::int32_t>(size->height * model.photoScale() + 0.5)}
                               : ImageSize{static_cast<std::int32_t>(2 * centre.x + 1),
                                           static_cast<std::int32_t>(2 * centre.y + 1)};
  std::string why;
  const std::optional<CalibratedPanorama> plan = CalibratedPanorama::plan(model, rig, frame, {}, why);
  if (!plan) {
    text += "elevations: none (" + why + ")\n";
    return text;
  }
  text += "elevations: " + degrees(modelElevation(-90, rig)) + " at the centre to " + degrees(plan->rimElevation()) +
          " at the rim (radius " + pixels(plan->rimRadius()) + ")\n";
  text += "panorama: " + degrees(plan->innerElevation()) + " at radius " + pixels(plan->innerRadius()) + " to " +
          degrees(plan->rimElevation()) + " degrees, " + std::to_string(plan->width()) + " x " +
          std::to_string(plan->height()) + " pixels\n";
  return text;
}

}  // namespace kelmira

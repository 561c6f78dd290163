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

MirrorSummary summarizeMirror(const MirrorModel& model, Rig rig) {
  MirrorSummary s;
  s.kind = model.kind();
  s.rig = rig;
  if (!model.calibrated()) {
    const auto& radial = static_cast<const RadialMirror&>(model);
    s.radiiAsFractions = true;
    s.innermostRadius = radial.innermostFraction();
    s.rimRadius = radial.outermostFraction();
    s.innerRadius = std::clamp(0.2, s.innermostRadius, s.rimRadius);
    s.innermostElevation = modelElevation(radial.elevationAtFraction(s.innermostRadius), rig);
    s.rimElevation = modelElevation(radial.elevationAtFraction(s.rimRadius), rig);
    s.innerElevation = modelElevation(radial.elevationAtFraction(s.innerRadius), rig);
    return s;
  }
  s.calibrationSize = model.calibrationSize();
  s.photoScale = model.photoScale();
  s.centre = model.centre();
  s.innermostElevation = modelElevation(-90, rig);
  // Without the picture's size, the frame is taken to reach as far beyond the centre as before it.
  const ImagePoint c = *s.centre;
  const ImageSize frame =
      s.calibrationSize ? ImageSize{static_cast<std::int32_t>(s.calibrationSize->width * s.photoScale + 0.5),
                                    static_cast<std::int32_t>(s.calibrationSize->height * s.photoScale + 0.5)}
                        : ImageSize{static_cast<std::int32_t>(2 * c.x + 1), static_cast<std::int32_t>(2 * c.y + 1)};
  const std::optional<CalibratedPanorama> plan = CalibratedPanorama::plan(model, rig, frame, {}, s.problem);
  if (!plan) return s;
  s.rimRadius = plan->rimRadius();
  s.rimElevation = plan->rimElevation();
  s.innerRadius = plan->innerRadius();
  s.innerElevation = plan->innerElevation();
  s.panoramaWidth = plan->width();
  s.panoramaHeight = plan->height();
  return s;
}

std::string describeMirror(const MirrorModel& model, Rig rig) {
  const MirrorSummary s = summarizeMirror(model, rig);
  std::string text = "kind: " + std::string(mirrorKindName(s.kind)) + "\n";
  text += "rig: " + std::string(rigName(rig)) + "\n";
  if (s.radiiAsFractions) {
    text += "centre: from the photograph (the ring finder or --centre)\n";
    text += "elevations: " + degrees(s.innermostElevation) + " at " + fixedDecimal(s.innermostRadius, 3) +
            " of the rim's radius to " + degrees(s.rimElevation) + " at " + fixedDecimal(s.rimRadius, 3) + "\n";
    text += "panorama: " + degrees(s.innerElevation) + " to " + degrees(s.rimElevation) + " degrees\n";
    return text;
  }
  text += "image size: " +
          (s.calibrationSize ? std::to_string(s.calibrationSize->width) + " x " +
                                   std::to_string(s.calibrationSize->height)
                             : std::string("not in the file")) +
          "\n";
  if (s.photoScale != 1) text += "scaled by: " + fixedDecimal(s.photoScale, 4) + "\n";
  text += "centre: " + pixels(s.centre->x) + ", " + pixels(s.centre->y) + "\n";
  if (!s.problem.empty()) {
    text += "elevations: none (" + s.problem + ")\n";
    return text;
  }
  text += "elevations: " + degrees(s.innermostElevation) + " at the centre to " + degrees(s.rimElevation) +
          " at the rim (radius " + pixels(s.rimRadius) + ")\n";
  text += "panorama: " + degrees(s.innerElevation) + " at radius " + pixels(s.innerRadius) + " to " +
          degrees(s.rimElevation) + " degrees, " + std::to_string(s.panoramaWidth) + " x " +
          std::to_string(s.panoramaHeight) + " pixels\n";
  return text;
}

}  // namespace kelmira

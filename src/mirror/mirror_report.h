#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "mirror/mirror_model.h"

namespace kelmira {

// What a model tells of itself, for the window's Mirror Properties and `info --mirror`.
// Elevations are the world's (degrees) with the rig. A table's radii are fractions of the
// rim's; a calibration's are pixels, its rim the largest circle about its centre inside
// the picture it was made for.
struct MirrorSummary {
  MirrorKind kind = MirrorKind::Table;
  Rig rig = Rig::CameraBelow;
  std::optional<ImageSize> calibrationSize;
  double photoScale = 1;
  std::optional<ImagePoint> centre;  // none: taken from the photograph
  bool radiiAsFractions = false;
  double innermostRadius = 0;  // the centre, or a table's first line
  double innermostElevation = 0;
  double rimRadius = 0;
  double rimElevation = 0;
  // The band a panorama takes by default: from a fifth of the rim's radius to the rim.
  double innerRadius = 0;
  double innerElevation = 0;
  std::int32_t panoramaWidth = 0;  // 0 for a table, whose size comes with the photograph
  std::int32_t panoramaHeight = 0;
  std::string problem;  // why a calibration gives no panorama, if it does not
};

MirrorSummary summarizeMirror(const MirrorModel& model, Rig rig = Rig::CameraBelow);

// The summary one "name: value" a line: kind, rig, image size, centre, elevations and the
// default panorama. Numbers read the same in every locale.
std::string describeMirror(const MirrorModel& model, Rig rig = Rig::CameraBelow);

}  // namespace kelmira

#pragma once

#include <optional>
#include <string>

#include "mirror/calibrated_panorama.h"

namespace kelmira {

// A mirror chosen for a job in place of the attachment's own: its calibration or table
// file (read again for each photograph, at the photograph's size), how the camera sits,
// and, when given, where the panorama starts inside the rim.
struct MirrorChoice {
  std::string path;
  Rig rig = Rig::CameraBelow;
  std::optional<double> innerRadius;
};

// Where the ring of a photograph lies, as the job knows it: the centre and the rim's
// radius, each when known (a calibration keeps its own centre).
struct RingKnown {
  std::optional<ImagePoint> centre;
  std::optional<double> rimRadius;
};

// The plan of the chosen mirror's panorama for a photograph of `photo`'s size; none, with
// why ("FILE: what is wrong"), when the file cannot be read or gives no panorama.
std::optional<CalibratedPanorama> planMirrorPanorama(const MirrorChoice& choice, ImageSize photo,
                                                     const RingKnown& ring, std::string& why);

// Where the calibration in the file sees the camera on a photograph of `photo`'s size;
// none for a table, or a file that cannot be read for it.
std::optional<ImagePoint> calibratedCentre(const std::string& path, ImageSize photo);

}  // namespace kelmira

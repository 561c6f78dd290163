#include "mirror/mirror_choice.h"

#include "mirror/mirror_file_reader.h"

namespace kelmira {

std::optional<CalibratedPanorama> planMirrorPanorama(const MirrorChoice& choice, ImageSize photo,
                                                     const RingKnown& ring, std::string& why) {
  const MirrorFile file = readMirrorFile(choice.path, photo);
  if (!file) {
    why = file.error;
    return std::nullopt;
  }
  PanoramaPlacement placement;
  placement.centre = ring.centre;
  placement.rimRadius = ring.rimRadius;
  placement.innerRadius = choice.innerRadius;
  std::string problem;
  std::optional<CalibratedPanorama> plan = CalibratedPanorama::plan(*file.model, choice.rig, photo, placement, problem);
  if (!plan) why = choice.path + ": " + problem;
  return plan;
}

std::optional<ImagePoint> calibratedCentre(const std::string& path, ImageSize photo) {
  const MirrorFile file = readMirrorFile(path, photo);
  if (!file || !file.model->calibrated()) return std::nullopt;
  return file.model->centre();
}

}  // namespace kelmira

#pragma once

#include <string>

#include "mirror/mirror_model.h"

namespace kelmira {

// What `kelmira-cli info --mirror FILE` prints of a model, one "name: value" a line: its
// kind, the picture size it was made for, its centre, and the elevations it sees with the
// rig, from the centre (or the table's first line) to the rim, and the band a panorama
// takes by default (a fifth of the rim's radius to the rim). Numbers read the same in
// every locale.
std::string describeMirror(const MirrorModel& model, Rig rig = Rig::CameraBelow);

}  // namespace kelmira

#pragma once

#include <string>

#include "export/output_kind.h"

namespace kelmira {

// The name Save Image proposes for a panorama of the photograph named `photographName`:
// NAME_pano with the photograph's own extension (NAME.JPG gives NAME_pano.JPG).
std::string proposedPictureName(const std::string& photographName);
// The name a save of `kind` proposes: NAME.mov for a movie, NAME_360.jpg for a 360-degree photo.
std::string proposedName(const std::string& photographName, OutputKind kind);
// Where a batch writes its result of `kind` for `photograph`: in `folder`, as the
// photograph's name without its last extension, the kind's mark and extension
// (A.jpg gives A_pano.jpg, A_360.jpg). A name that starts with its only dot is kept whole.
std::string batchResultPath(const std::string& photograph, const std::string& folder, OutputKind kind);

}  // namespace kelmira

#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "mirror/ocam_model.h"

namespace kelmira {

// OCamCalib's calib_results.txt: '#' lines are comments, and the others hold, in order,
// the direct polynomial (its length, then a0, a1, ...), the inverse polynomial (likewise),
// the centre's row and column, the affine c, d and e, and the picture's height and width.
std::unique_ptr<OcamModel> readOcamCalibText(std::string_view text, std::string& why);

}  // namespace kelmira

#pragma once

#include <memory>
#include <string>

#include "mirror/stored_node.h"
#include "mirror/unified_model.h"

namespace kelmira {

// An OpenCV omnidir calibration as FileStorage writes it (YAML or XML): camera_matrix
// (3 x 3: fx, skew, cx / 0, fy, cy / 0, 0, 1), distortion_coefficients (k1, k2, p1, p2),
// xi, and the picture's size when image_width and image_height are there.
bool looksLikeOmnidir(const StoredNode& root);
std::unique_ptr<UnifiedModel> readOmnidirCalibration(const StoredNode& root, std::string& why);

}  // namespace kelmira

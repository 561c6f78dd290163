#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "mirror/stored_node.h"
#include "mirror/unified_model.h"

namespace kelmira {

// A Kalibr camchain: cameras cam0, cam1, ..., each with camera_model, intrinsics,
// distortion_model, distortion_coeffs and resolution. Only the omni camera model (xi, fu,
// fv, pu, pv) with radtan distortion (k1, k2, r1, r2) or none is read. `camera` names the
// one to read ("cam1"); empty takes the file's first.
bool looksLikeKalibr(const StoredNode& root);
std::unique_ptr<UnifiedModel> readKalibrCamchain(const StoredNode& root, std::string_view camera, std::string& why);

}  // namespace kelmira

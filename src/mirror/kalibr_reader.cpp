#include "mirror/kalibr_reader.h"

#include <cmath>

#include "mirror/stored_numbers.h"

namespace kelmira {

namespace {

std::optional<std::vector<double>> numbersNamed(const StoredNode& camera, const std::string& prefix, const char* name,
                                                std::string& why) {
  const StoredNode* node = camera.find(name);
  if (node == nullptr) {
    why = prefix + name + " is missing";
    return std::nullopt;
  }
  std::string reason;
  std::optional<std::vector<double>> numbers = storedNumbers(*node, reason);
  if (!numbers) why = prefix + name + " " + reason;
  return numbers;
}

std::string textNamed(const StoredNode& camera, const char* name) {
  const StoredNode* node = camera.find(name);
  return node != nullptr && node->kind == StoredNode::Kind::Scalar ? node->text : std::string();
}

}  // namespace

bool looksLikeKalibr(const StoredNode& root) {
  if (root.kind != StoredNode::Kind::Map) return false;
  for (const auto& [name, camera] : root.entries) {
    if (camera.find("camera_model") != nullptr) return true;
  }
  return false;
}

std::unique_ptr<UnifiedModel> readKalibrCamchain(const StoredNode& root, std::string_view camera, std::string& why) {
  const StoredNode* chosen = nullptr;
  std::string name;
  for (const auto& [key, value] : root.entries) {
    if (value.find("camera_model") == nullptr) continue;
    if (camera.empty() || key == camera) {
      chosen = &value;
      name = key;
      break;
    }
  }
  if (chosen == nullptr) {
    why = "has no camera " + std::string(camera);
    return nullptr;
  }
  const std::string prefix = name + ": ";
  const std::string model = textNamed(*chosen, "camera_model");
  if (model != "omni") {
    why = prefix + "camera_model is " + model + "; only omni (the unified model) is read";
    return nullptr;
  }
  const std::optional<std::vector<double>> intrinsics = numbersNamed(*chosen, prefix, "intrinsics", why);
  if (!intrinsics) return nullptr;
  if (intrinsics->size() != 5) {
    why = prefix + "intrinsics holds " + std::to_string(intrinsics->size()) +
          " numbers instead of 5 (xi, fu, fv, pu, pv)";
    return nullptr;
  }
  const std::string distortion = textNamed(*chosen, "distortion_model");
  UnifiedCalibration calibration;
  calibration.xi = (*intrinsics)[0];
  calibration.fx = (*intrinsics)[1];
  calibration.fy = (*intrinsics)[2];
  calibration.cx = (*intrinsics)[3];
  calibration.cy = (*intrinsics)[4];
  if (distortion == "radtan") {
    const std::optional<std::vector<double>> coefficients = numbersNamed(*chosen, prefix, "distortion_coeffs", why);
    if (!coefficients) return nullptr;
    if (coefficients->size() != 4) {
      why = prefix + "distortion_coeffs holds " + std::to_string(coefficients->size()) +
            " numbers instead of 4 (k1, k2, r1, r2)";
      return nullptr;
    }
    calibration.k1 = (*coefficients)[0];
    calibration.k2 = (*coefficients)[1];
    calibration.p1 = (*coefficients)[2];
    calibration.p2 = (*coefficients)[3];
  } else if (distortion != "none") {
    why = prefix + "distortion_model is " + (distortion.empty() ? "missing" : distortion) +
          "; only radtan or none is read";
    return nullptr;
  }
  const std::optional<std::vector<double>> resolution = numbersNamed(*chosen, prefix, "resolution", why);
  if (!resolution) return nullptr;
  if (resolution->size() != 2) {
    why = prefix + "resolution holds " + std::to_string(resolution->size()) + " numbers instead of 2 (width, height)";
    return nullptr;
  }
  for (double side : *resolution) {
    if (side < 1 || side > 1e6 || side != std::floor(side)) {
      why = prefix + "resolution is not a picture's size in pixels";
      return nullptr;
    }
  }
  calibration.size = ImageSize{static_cast<std::int32_t>((*resolution)[0]), static_cast<std::int32_t>((*resolution)[1])};
  std::unique_ptr<UnifiedModel> result = UnifiedModel::make(MirrorKind::KalibrOmni, calibration, why);
  if (!result) why = prefix + why;
  return result;
}

}  // namespace kelmira

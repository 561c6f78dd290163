#include "mirror/omnidir_reader.h"

#include <cmath>

#include "mirror/stored_numbers.h"

namespace kelmira {

namespace {

std::optional<std::vector<double>> numbersNamed(const StoredNode& root, const char* name, std::string& why) {
  const StoredNode* node = root.find(name);
  if (node == nullptr) {
    why = std::string(name) + " is missing";
    return std::nullopt;
  }
  std::string reason;
  std::optional<std::vector<double>> numbers = storedNumbers(*node, reason);
  if (!numbers) why = std::string(name) + " " + reason;
  return numbers;
}

std::optional<long long> sideNamed(const StoredNode& root, const char* name, std::string& why) {
  const std::optional<std::vector<double>> numbers = numbersNamed(root, name, why);
  if (!numbers) return std::nullopt;
  if (numbers->size() != 1 || numbers->front() < 1 || numbers->front() > 1e6 ||
      numbers->front() != std::floor(numbers->front())) {
    why = std::string(name) + " is not a picture's size in pixels";
    return std::nullopt;
  }
  return static_cast<long long>(numbers->front());
}

}  // namespace

bool looksLikeOmnidir(const StoredNode& root) {
  return root.find("camera_matrix") != nullptr && root.find("xi") != nullptr;
}

std::unique_ptr<UnifiedModel> readOmnidirCalibration(const StoredNode& root, std::string& why) {
  const std::optional<std::vector<double>> k = numbersNamed(root, "camera_matrix", why);
  if (!k) return nullptr;
  if (k->size() != 9) {
    why = "camera_matrix holds " + std::to_string(k->size()) + " numbers instead of 9";
    return nullptr;
  }
  const std::vector<double>& m = *k;
  if (m[3] != 0 || m[6] != 0 || m[7] != 0 || m[8] != 1) {
    why = "camera_matrix is not of the form fx, s, cx / 0, fy, cy / 0, 0, 1";
    return nullptr;
  }
  const std::optional<std::vector<double>> distortion = numbersNamed(root, "distortion_coefficients", why);
  if (!distortion) return nullptr;
  if (distortion->size() != 4) {
    why = "distortion_coefficients holds " + std::to_string(distortion->size()) +
          " numbers instead of 4 (k1, k2, p1, p2)";
    return nullptr;
  }
  const std::optional<std::vector<double>> xi = numbersNamed(root, "xi", why);
  if (!xi) return nullptr;
  if (xi->size() != 1) {
    why = "xi holds " + std::to_string(xi->size()) + " numbers instead of one";
    return nullptr;
  }
  UnifiedCalibration calibration;
  calibration.fx = m[0];
  calibration.skew = m[1];
  calibration.cx = m[2];
  calibration.fy = m[4];
  calibration.cy = m[5];
  calibration.xi = xi->front();
  calibration.k1 = (*distortion)[0];
  calibration.k2 = (*distortion)[1];
  calibration.p1 = (*distortion)[2];
  calibration.p2 = (*distortion)[3];
  const bool hasWidth = root.find("image_width") != nullptr;
  const bool hasHeight = root.find("image_height") != nullptr;
  if (hasWidth != hasHeight) {
    why = hasWidth ? "image_height is missing beside image_width" : "image_width is missing beside image_height";
    return nullptr;
  }
  if (hasWidth) {
    const std::optional<long long> width = sideNamed(root, "image_width", why);
    if (!width) return nullptr;
    const std::optional<long long> height = sideNamed(root, "image_height", why);
    if (!height) return nullptr;
    calibration.size = ImageSize{static_cast<std::int32_t>(*width), static_cast<std::int32_t>(*height)};
  }
  return UnifiedModel::make(MirrorKind::OpenCvOmnidir, calibration, why);
}

}  // namespace kelmira

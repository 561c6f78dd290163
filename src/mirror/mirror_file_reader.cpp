#include "mirror/mirror_file_reader.h"

#include <cmath>
#include <filesystem>
#include <fstream>

#include "mirror/kalibr_reader.h"
#include "mirror/mirror_table_reader.h"
#include "mirror/number_text.h"
#include "mirror/ocam_calib_reader.h"
#include "mirror/omnidir_reader.h"
#include "mirror/storage_xml.h"
#include "mirror/yaml_text.h"

namespace kelmira {

namespace {

MirrorFile refused(const std::string& name, const std::string& why) { return {nullptr, name + ": " + why}; }

bool isText(std::string_view text) {
  for (unsigned char c : text) {
    if (c == 0 || (c < 0x20 && c != '\n' && c != '\r' && c != '\t' && c != '\f' && c != '\v')) return false;
  }
  return true;
}

// The first line that is neither blank nor a comment.
std::string_view firstDataLine(std::string_view text) {
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view line = trimmed(text.substr(start, end - start));
    start = end + 1;
    if (!line.empty() && line.front() != '#') return line;
  }
  return {};
}

// "name: value" or "name:" at the start of a YAML file; tables and OCamCalib's numbers
// start with a digit, a sign or a point.
bool looksLikeYaml(std::string_view start, std::string_view firstLine) {
  if (start.starts_with("%YAML") || start.starts_with("---")) return true;
  if (firstLine.empty()) return false;
  const char c = firstLine.front();
  if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == '"' || c == '\'')) return false;
  const std::size_t colon = firstLine.find(':');
  return colon != std::string_view::npos && (colon + 1 == firstLine.size() || firstLine[colon + 1] == ' ');
}

std::string sizeText(ImageSize size) { return std::to_string(size.width) + " x " + std::to_string(size.height); }

// The model for the photograph: as it is, scaled, or refused.
MirrorFile fitToPhoto(std::unique_ptr<MirrorModel> model, const std::string& name, std::optional<ImageSize> photo) {
  const std::optional<ImageSize> made = model->calibrationSize();
  if (!photo || !made || (made->width == photo->width && made->height == photo->height)) return {std::move(model), {}};
  const double factor = static_cast<double>(photo->width) / made->width;
  if (photo->width <= 0 || photo->height <= 0 || std::abs(made->height * factor - photo->height) > 1) {
    return refused(name, "the calibration is for pictures of " + sizeText(*made) + " pixels, and the photograph's " +
                             sizeText(*photo) + " are of another shape");
  }
  return {model->scaledForPhoto(factor), {}};
}

MirrorFile readStorage(const StoredText& stored, const std::string& name, std::string_view camera, bool xml) {
  const char* format = xml ? "an XML file" : "a YAML file";
  if (!stored.root) return refused(name, std::string(format) + " that cannot be read: " + stored.error);
  const StoredNode& root = *stored.root;
  std::string why;
  if (looksLikeOmnidir(root)) {
    std::unique_ptr<MirrorModel> model = readOmnidirCalibration(root, why);
    if (!model) return refused(name, "OpenCV omnidir calibration: " + why);
    return {std::move(model), {}};
  }
  if (!xml && looksLikeKalibr(root)) {
    std::unique_ptr<MirrorModel> model = readKalibrCamchain(root, camera, why);
    if (!model) return refused(name, "Kalibr camchain: " + why);
    return {std::move(model), {}};
  }
  return refused(name, std::string(format) + " that is neither an OpenCV omnidir calibration (camera_matrix, xi) "
                       "nor a Kalibr camchain (camera_model)");
}

}  // namespace

MirrorFile readMirrorText(std::string_view text, const std::string& name, std::optional<ImageSize> photo,
                          std::string_view camera) {
  if (text.size() > kLongestMirrorFile) return refused(name, "too long for a mirror file");
  if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
  if (!isText(text)) {
    return refused(name, "not a mirror file (not text: OCamCalib, OpenCV omnidir, Kalibr and mirror tables are)");
  }
  const std::string_view start = trimmed(text);
  if (start.empty()) return refused(name, "empty");
  MirrorFile file;
  if (start.starts_with("<")) {
    file = readStorage(readStorageXml(text), name, camera, true);
  } else if (looksLikeYaml(start, firstDataLine(text))) {
    // OpenCV and Kalibr end every file with a line break: without one it was cut short.
    if (!text.ends_with('\n')) return refused(name, "a YAML file cut short (its last line does not end)");
    file = readStorage(readYamlText(text), name, camera, false);
  } else {
    std::string why;
    if (firstDataLine(text).find(',') != std::string_view::npos) {
      std::unique_ptr<MirrorModel> model = readMirrorTableText(text, why);
      if (!model) return refused(name, "mirror table: " + why);
      file.model = std::move(model);
    } else if (parseNumberList(firstDataLine(text))) {
      std::unique_ptr<MirrorModel> model = readOcamCalibText(text, why);
      if (!model) return refused(name, "OCamCalib calibration: " + why);
      file.model = std::move(model);
    } else {
      return refused(name, "not a mirror file: neither an OCamCalib calib_results.txt, an OpenCV omnidir "
                           "calibration, a Kalibr camchain nor a mirror table (lines \"radius,elevation\")");
    }
  }
  if (!file) return file;
  return fitToPhoto(std::move(file.model), name, photo);
}

MirrorFile readMirrorFile(const std::string& path, std::optional<ImageSize> photo) {
  std::string filePath = path;
  std::string camera;
  // "camchain.yaml:cam1" names a camera of a Kalibr camchain.
  const std::size_t colon = path.rfind(':');
  std::error_code error;
  if (colon != std::string::npos && path.compare(colon + 1, 3, "cam") == 0 && !std::filesystem::exists(path, error)) {
    const std::string suffix = path.substr(colon + 4);
    if (!suffix.empty() && suffix.find_first_not_of("0123456789") == std::string::npos) {
      filePath = path.substr(0, colon);
      camera = path.substr(colon + 1);
    }
  }
  if (!std::filesystem::is_regular_file(filePath, error)) {
    return refused(filePath, std::filesystem::exists(filePath, error) ? "not a file" : "no such file");
  }
  const auto size = std::filesystem::file_size(filePath, error);
  if (error) return refused(filePath, "cannot be read");
  if (size > kLongestMirrorFile) return refused(filePath, "too long for a mirror file");
  std::ifstream in(filePath, std::ios::binary);
  std::string text(static_cast<std::size_t>(size), '\0');
  if (!in || !in.read(text.data(), static_cast<std::streamsize>(size))) return refused(filePath, "cannot be read");
  return readMirrorText(text, filePath, photo, camera);
}

}  // namespace kelmira

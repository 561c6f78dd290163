#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "mirror/mirror_model.h"

namespace kelmira {

// A mirror file as read: the model, or why not ("FILE: what is wrong").
struct MirrorFile {
  std::unique_ptr<MirrorModel> model;
  std::string error;
  explicit operator bool() const { return model != nullptr; }
};

// Reads a mirror calibration or table, recognised by its content: OCamCalib's
// calib_results.txt, an OpenCV omnidir calibration (FileStorage YAML or XML), a Kalibr
// camchain (the first camera, or camN when the path ends in ":camN" and no file has that
// name), or a mirror table. With the photograph's size, a calibration made at another size
// is scaled to it when the shapes agree (within a pixel), and refused otherwise.
MirrorFile readMirrorFile(const std::string& path, std::optional<ImageSize> photo = std::nullopt);

// The same for a file's text; `name` is the file's name in messages, `camera` a Kalibr
// camera's name.
MirrorFile readMirrorText(std::string_view text, const std::string& name, std::optional<ImageSize> photo = std::nullopt,
                          std::string_view camera = {});

// Files longer than this are no mirror files.
inline constexpr std::size_t kLongestMirrorFile = 8 << 20;

}  // namespace kelmira

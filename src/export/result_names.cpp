#include "export/result_names.h"

#include <filesystem>

namespace kelmira {

namespace {

// A file name as the save dialogs have always split it: what stands before the last dot,
// and the rest from that dot on.
struct SplitName {
  std::string stem;
  std::string extension;
};

SplitName splitAtLastDot(const std::string& name) {
  const std::size_t dot = name.rfind('.');
  if (dot == std::string::npos) return {name, {}};
  return {name.substr(0, dot), name.substr(dot)};
}

}  // namespace

std::string proposedPictureName(const std::string& photographName) {
  const SplitName name = splitAtLastDot(photographName);
  return name.stem + outputKindRow(OutputKind::Jpeg).mark + name.extension;
}

std::string proposedName(const std::string& photographName, OutputKind kind) {
  return splitAtLastDot(photographName).stem + outputKindRow(kind).mark + "." + shortExtensionOf(kind);
}

std::string batchResultPath(const std::string& photograph, const std::string& folder, OutputKind kind) {
  const std::string name = std::filesystem::path(photograph).filename().string();
  const std::size_t dot = name.rfind('.');
  const std::string stem = dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
  return (std::filesystem::path(folder) / (stem + outputKindRow(kind).mark + "." + shortExtensionOf(kind))).string();
}

}  // namespace kelmira

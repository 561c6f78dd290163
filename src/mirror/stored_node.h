#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kelmira {

struct StoredEntry;

// A value of a small YAML or XML settings file as the calibration tools write them: a
// scalar's text, a sequence of values, or named values in file order. `tag` keeps a type
// such as "opencv-matrix".
struct StoredNode {
  enum class Kind { Scalar, Sequence, Map };
  Kind kind = Kind::Scalar;
  std::string text;
  std::string tag;
  std::vector<StoredEntry> entries;  // a sequence's names are empty

  const StoredNode* find(std::string_view name) const;
};

struct StoredEntry {
  std::string name;
  StoredNode value;
};

inline const StoredNode* StoredNode::find(std::string_view name) const {
  if (kind != Kind::Map) return nullptr;
  for (const auto& [key, value] : entries) {
    if (key == name) return &value;
  }
  return nullptr;
}

// The result of reading one: the root, or why the text is not such a file (with the line).
struct StoredText {
  std::optional<StoredNode> root;
  std::string error;
};

}  // namespace kelmira

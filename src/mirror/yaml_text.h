#pragma once

#include <string_view>

#include "mirror/stored_node.h"

namespace kelmira {

// Reads the YAML that OpenCV's FileStorage and Kalibr write: block mappings and
// sequences by indentation, flow sequences and mappings (also over several lines), plain
// and quoted scalars, tags such as !!opencv-matrix, comments, and the %YAML directive and
// --- of OpenCV's files. Anchors, aliases and multi-line scalars are not read. Nesting is
// limited, so no file runs the reader out of stack.
StoredText readYamlText(std::string_view text);

}  // namespace kelmira

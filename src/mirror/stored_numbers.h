#pragma once

#include <optional>
#include <string>
#include <vector>

#include "mirror/stored_node.h"

namespace kelmira {

// The numbers a stored value holds: a scalar (or XML text of several), a sequence of
// scalars, or an OpenCV matrix (!!opencv-matrix: rows, cols, dt, data), whose size must
// match its data. None, with the reason, otherwise.
std::optional<std::vector<double>> storedNumbers(const StoredNode& node, std::string& why);

// The one number a value holds.
std::optional<double> storedNumber(const StoredNode& node, std::string& why);

}  // namespace kelmira

#pragma once

#include <string>

namespace kelmira {

// Prints the atoms of a QuickTime movie file; 0 when the file was read and well formed,
// 1 otherwise.
int runMovdump(const std::string& path);

}  // namespace kelmira

#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "mirror/table_mirror.h"

namespace kelmira {

// A mirror table: lines "radius,elevation" (the radius a fraction of the rim's, the
// elevation in degrees), '#' to the end of a line a comment, blank lines skipped.
std::unique_ptr<TableMirror> readMirrorTableText(std::string_view text, std::string& why);

// A table's text: each line of `comment` as a comment, then one line per entry.
std::string mirrorTableText(const std::vector<MirrorTableEntry>& entries, std::string_view comment);

}  // namespace kelmira

#include "mirror/table_mirror.h"

#include <algorithm>
#include <cmath>

namespace kelmira {

std::unique_ptr<TableMirror> TableMirror::make(std::vector<MirrorTableEntry> entries, std::string& why) {
  if (entries.size() < 2) {
    why = "a table needs at least two lines";
    return nullptr;
  }
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const MirrorTableEntry& e = entries[i];
    if (!(e.fraction >= 0 && e.fraction <= 1)) {
      why = "entry " + std::to_string(i + 1) + ": the radius must lie from 0 to 1 (the rim)";
      return nullptr;
    }
    if (!(e.elevation >= -90 && e.elevation <= 90)) {
      why = "entry " + std::to_string(i + 1) + ": the elevation must lie from -90 to 90 degrees";
      return nullptr;
    }
    if (i == 0) continue;
    if (!(e.fraction > entries[i - 1].fraction)) {
      why = "entry " + std::to_string(i + 1) + ": the radii must rise from line to line";
      return nullptr;
    }
    const bool rising = entries[1].elevation > entries[0].elevation;
    if (e.elevation == entries[i - 1].elevation || (e.elevation > entries[i - 1].elevation) != rising) {
      why = "entry " + std::to_string(i + 1) + ": the elevations must rise all the way or fall all the way";
      return nullptr;
    }
  }
  return std::unique_ptr<TableMirror>(new TableMirror(std::move(entries)));
}

double TableMirror::elevationAtFraction(double fraction) const {
  const auto after = std::upper_bound(entries_.begin() + 1, entries_.end() - 1, fraction,
                                      [](double f, const MirrorTableEntry& e) { return f < e.fraction; });
  const MirrorTableEntry& a = *(after - 1);
  const MirrorTableEntry& b = *after;
  return a.elevation + (b.elevation - a.elevation) * ((fraction - a.fraction) / (b.fraction - a.fraction));
}

std::optional<double> TableMirror::fractionAtElevation(double elevation) const {
  const bool rising = entries_.back().elevation > entries_.front().elevation;
  const double low = rising ? entries_.front().elevation : entries_.back().elevation;
  const double high = rising ? entries_.back().elevation : entries_.front().elevation;
  if (!(elevation >= low - 1e-9 && elevation <= high + 1e-9)) return std::nullopt;  // ends give or take a rounding
  elevation = std::clamp(elevation, low, high);
  // The first segment whose far end reaches the elevation.
  std::size_t i = 1;
  while (i + 1 < entries_.size() && (rising ? entries_[i].elevation < elevation : entries_[i].elevation > elevation)) {
    ++i;
  }
  const MirrorTableEntry& a = entries_[i - 1];
  const MirrorTableEntry& b = entries_[i];
  return a.fraction + (b.fraction - a.fraction) * ((elevation - a.elevation) / (b.elevation - a.elevation));
}

}  // namespace kelmira

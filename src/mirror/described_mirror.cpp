#include "mirror/described_mirror.h"

#include "mirror/mirror_table_reader.h"
#include "unwarp/mirror_profile_table.h"
#include "unwarp/row_elevations.h"

namespace kelmira {

namespace {
// Fractions of the rim's radius per unit of the mirror model's image radius.
constexpr double kFractionPerUnit = 2 * mirror_model::imageScaleFactor;
}  // namespace

DescribedMirror::DescribedMirror() {
  const MirrorProfileTable table = buildMirrorProfileTable();
  innermost_ = table.entries.front().imageRadius * kFractionPerUnit;
  outermost_ = table.entries.back().imageRadius * kFractionPerUnit;
}

// The attachment's camera sits above the mirror looking down (the classic unwarp turns
// clockwise on the photograph and sees the sky inside): away from the camera is down.
double DescribedMirror::elevationAtFraction(double fraction) const {
  return -elevationForRadius(fraction / kFractionPerUnit);
}

std::vector<MirrorTableEntry> describedMirrorTable() {
  const MirrorProfileTable table = buildMirrorProfileTable();
  std::vector<MirrorTableEntry> entries;
  entries.reserve(table.entries.size());
  for (const MirrorProfileEntry& entry : table.entries) {
    entries.push_back({entry.imageRadius * kFractionPerUnit, -elevationForRadius(entry.imageRadius)});
  }
  return entries;
}

}  // namespace kelmira

namespace kelmira {

std::string describedMirrorTableText() {
  return mirrorTableText(describedMirrorTable(),
                         "Kelmira's own mirror as a mirror table: one line for each entry of its profile.\n"
                         "radius: a fraction of the rim's radius (where the scene ends); elevation: degrees\n"
                         "away from the camera, which looks down on this mirror: read it with --mirror and\n"
                         "--rig camera-above. The classic unwarp needs no file.");
}

}  // namespace kelmira

#pragma once

#include <string>
#include <vector>

#include "mirror/radial_mirror.h"
#include "mirror/table_mirror.h"

namespace kelmira {

// The attachment's own mirror, as the classic unwarp sees it: at a fraction f of the
// rim's radius the image radius f / (2 x 0.117096) in the mirror model's units, and there
// elevationForRadius above the horizon. Its camera looks down on it (Rig::CameraAbove), so
// away from the camera that is -elevationForRadius. It sees from the profile table's first
// radius to its last.
class DescribedMirror final : public RadialMirror {
 public:
  DescribedMirror();
  MirrorKind kind() const override { return MirrorKind::Described; }
  std::unique_ptr<MirrorModel> clone() const override { return std::make_unique<DescribedMirror>(*this); }

  double elevationAtFraction(double fraction) const override;
  double innermostFraction() const override { return innermost_; }
  double outermostFraction() const override { return outermost_; }

  DescribedMirror(const DescribedMirror&) = default;

 private:
  double innermost_;
  double outermost_;
};

// The described mirror as a table: one entry for each entry of its profile table.
std::vector<MirrorTableEntry> describedMirrorTable();
// That table as a mirror table file says it (res/mirror/kelmira-mirror-table.txt).
std::string describedMirrorTableText();

}  // namespace kelmira

#pragma once

#include <string>
#include <vector>

#include "mirror/radial_mirror.h"

namespace kelmira {

struct MirrorTableEntry {
  double fraction = 0;   // of the rim's radius
  double elevation = 0;  // degrees, away from the camera
};

// A mirror a user measured or designed: elevations at fractions of the rim's radius, in
// between along straight lines. Two entries make an equiangular mirror.
class TableMirror final : public RadialMirror {
 public:
  // At least two entries, fractions rising from 0 to at most 1, elevations within +-90
  // and changing strictly one way; none, with the reason, otherwise.
  static std::unique_ptr<TableMirror> make(std::vector<MirrorTableEntry> entries, std::string& why);

  MirrorKind kind() const override { return MirrorKind::Table; }
  std::unique_ptr<MirrorModel> clone() const override { return std::make_unique<TableMirror>(*this); }
  const std::vector<MirrorTableEntry>& entries() const { return entries_; }

  double elevationAtFraction(double fraction) const override;
  double innermostFraction() const override { return entries_.front().fraction; }
  double outermostFraction() const override { return entries_.back().fraction; }
  std::optional<double> fractionAtElevation(double elevation) const override;

  TableMirror(const TableMirror&) = default;

 private:
  explicit TableMirror(std::vector<MirrorTableEntry> entries) : entries_(std::move(entries)) {}

  std::vector<MirrorTableEntry> entries_;
};

}  // namespace kelmira

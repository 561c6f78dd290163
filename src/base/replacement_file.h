#pragma once

#include <string>

namespace kelmira {

// A new file written beside its target and renamed over it only when complete, so a
// failed save never leaves a truncated file where the user's old one was. Replacing
// changes nothing the user did not ask for: a target reached through symbolic links is
// replaced where the links lead (the links stay), the new file keeps the old one's
// permission bits, and its data is on disk before it takes the old one's place.
class ReplacementFile {
 public:
  explicit ReplacementFile(const std::string& targetPath);
  ~ReplacementFile();  // removes the temporary unless committed
  ReplacementFile(const ReplacementFile&) = delete;
  ReplacementFile& operator=(const ReplacementFile&) = delete;

  // False when no temporary could be created beside the target.
  bool created() const { return !temporaryPath_.empty(); }
  const std::string& temporaryPath() const { return temporaryPath_; }
  // Flushes the temporary and renames it over the target; false (and the temporary
  // removed) on failure.
  bool commit();

 private:
  std::string targetPath_;
  std::string temporaryPath_;
};

}  // namespace kelmira

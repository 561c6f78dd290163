#pragma once

#include <string>

namespace kelmira {

// A new file written beside its target and renamed over it only when complete, so a
// failed save never leaves a truncated file where the user's old one was.
class ReplacementFile {
 public:
  explicit ReplacementFile(std::string targetPath);
  ~ReplacementFile();  // removes the temporary unless committed
  ReplacementFile(const ReplacementFile&) = delete;
  ReplacementFile& operator=(const ReplacementFile&) = delete;

  // False when no temporary could be created beside the target.
  bool created() const { return !temporaryPath_.empty(); }
  const std::string& temporaryPath() const { return temporaryPath_; }
  // Renames the temporary over the target; false (and the temporary removed) on failure.
  bool commit();

 private:
  std::string targetPath_;
  std::string temporaryPath_;
};

}  // namespace kelmira

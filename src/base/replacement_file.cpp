#include "base/replacement_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <random>

#include "base/interruption.h"
#include "base/temporary_files.h"

namespace kelmira {

namespace {

// Follows the symbolic links at `path` (also a dangling last one, whose target is where
// the file will be made); gives `path` itself when there is none or they loop.
std::string followLinks(const std::string& path) {
  std::filesystem::path at(path);
  for (int hop = 0; hop < 40; ++hop) {
    std::error_code error;
    if (!std::filesystem::is_symlink(std::filesystem::symlink_status(at, error))) return at.string();
    const std::filesystem::path next = std::filesystem::read_symlink(at, error);
    if (error) return path;
    at = next.is_absolute() ? next : at.parent_path() / next;
  }
  return path;
}

bool flushToDisk(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool flushed = ::fsync(fd) == 0;
  ::close(fd);
  return flushed;
}

// After a rename the folder's entry must reach the disk too; a folder that cannot be
// synced (some file systems refuse) is no reason to fail a save that is complete.
void flushFolder(const std::string& file) {
  const std::string folder = std::filesystem::path(file).parent_path().string();
  const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

}  // namespace

ReplacementFile::ReplacementFile(const std::string& targetPath) : targetPath_(followLinks(targetPath)) {
  std::random_device random;
  for (int attempt = 0; attempt < 100; ++attempt) {
    char suffix[32];
    std::snprintf(suffix, sizeof suffix, ".%08x.part", static_cast<unsigned>(random()));
    const std::string candidate = targetPath_ + suffix;
    // Mode 0666 lets the umask decide, as for any file the user creates.
    const int fd = TemporaryFiles::create(candidate, O_WRONLY | O_NOFOLLOW, 0666);
    if (fd >= 0) {
      ::close(fd);
      temporaryPath_ = candidate;
      return;
    }
    if (errno != EEXIST) return;
  }
}

ReplacementFile::~ReplacementFile() {
  if (!temporaryPath_.empty()) TemporaryFiles::remove(temporaryPath_);
}

bool ReplacementFile::commit() {
  // A run being stopped finishes nothing more: the target stays as it was.
  if (temporaryPath_.empty() || Interruption::stopped()) return false;
  bool done = flushToDisk(temporaryPath_);
  struct stat old {};
  struct stat made {};
  if (done && ::stat(targetPath_.c_str(), &old) == 0 && S_ISREG(old.st_mode) &&
      ::stat(temporaryPath_.c_str(), &made) == 0 && (made.st_mode & 0777) != (old.st_mode & 0777)) {
    // A file system without permission bits of its own (vfat through FUSE) has no chmod.
    done = ::chmod(temporaryPath_.c_str(), old.st_mode & 0777) == 0 || errno == ENOSYS || errno == EOPNOTSUPP;
  }
  done = done && TemporaryFiles::rename(temporaryPath_, targetPath_);
  if (!done) return false;  // the destructor removes the temporary
  temporaryPath_.clear();
  flushFolder(targetPath_);
  return true;
}

}  // namespace kelmira

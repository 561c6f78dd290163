#include "image/replacement_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <random>
#include <utility>

namespace kelmira {

ReplacementFile::ReplacementFile(std::string targetPath) : targetPath_(std::move(targetPath)) {
  std::random_device random;
  for (int attempt = 0; attempt < 100; ++attempt) {
    char suffix[32];
    std::snprintf(suffix, sizeof suffix, ".%08x.part", static_cast<unsigned>(random()));
    const std::string candidate = targetPath_ + suffix;
    // Mode 0666 lets the umask decide, as for any file the user creates.
    const int fd = ::open(candidate.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0666);
    if (fd >= 0) {
      ::close(fd);
      temporaryPath_ = candidate;
      return;
    }
    if (errno != EEXIST) return;
  }
}

ReplacementFile::~ReplacementFile() {
  if (!temporaryPath_.empty()) std::remove(temporaryPath_.c_str());
}

bool ReplacementFile::commit() {
  if (temporaryPath_.empty()) return false;
  const bool renamed = std::rename(temporaryPath_.c_str(), targetPath_.c_str()) == 0;
  if (renamed) temporaryPath_.clear();
  return renamed;
}

}  // namespace kelmira

#include "base/temporary_files.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <mutex>

namespace kelmira {

namespace {

struct Registry {
  std::mutex mutex;
  std::map<std::string, std::string> files;  // path -> the mark of a reserved name, or empty
};

// Never destroyed: an interruption may come while the program's statics are torn down.
Registry& registry() {
  static Registry* const theRegistry = new Registry;
  return *theRegistry;
}

bool writeAll(int fd, const std::string& text) {
  for (std::size_t written = 0; written < text.size();) {
    const ssize_t n = ::write(fd, text.data() + written, text.size() - written);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    written += static_cast<std::size_t>(n);
  }
  return true;
}

// With the lock held. Inode numbers would not do: some file systems give one file other
// numbers under other spellings, or every empty file the same.
bool removeOne(const std::string& path, const std::string& mark) {
  if (!mark.empty() && !TemporaryFiles::holds(path, mark)) return false;
  return ::unlink(path.c_str()) == 0;
}

}  // namespace

int TemporaryFiles::create(const std::string& path, int flags, mode_t mode) {
  Registry& r = registry();
  const std::lock_guard<std::mutex> lock(r.mutex);
  const int fd = ::open(path.c_str(), flags | O_CREAT | O_EXCL | O_CLOEXEC, mode);
  if (fd >= 0) r.files[path].clear();
  return fd;
}

int TemporaryFiles::createFromPattern(std::string& pattern, int suffixLength) {
  Registry& r = registry();
  const std::lock_guard<std::mutex> lock(r.mutex);
  const int fd = ::mkstemps(pattern.data(), suffixLength);
  if (fd >= 0) r.files[pattern].clear();
  return fd;
}

void TemporaryFiles::expect(const std::string& path) {
  Registry& r = registry();
  const std::lock_guard<std::mutex> lock(r.mutex);
  r.files.emplace(path, std::string());
}

bool TemporaryFiles::reserve(const std::string& path, const std::string& mark) {
  Registry& r = registry();
  const std::lock_guard<std::mutex> lock(r.mutex);
  // Mode 0666 lets the umask decide, as for any file the user creates.
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
  if (fd < 0) return false;
  r.files[path] = mark;
  const bool written = writeAll(fd, mark);
  const int error = errno;
  ::close(fd);
  if (written) return true;
  removeOne(path, {});
  r.files.erase(path);
  errno = error;
  return false;
}

bool TemporaryFiles::holds(const std::string& path, const std::string& mark) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return false;
  std::string content(mark.size() + 1, '\0');
  std::size_t got = 0;
  while (got < content.size()) {
    const ssize_t n = ::read(fd, content.data() + got, content.size() - got);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    got += static_cast<std::size_t>(n);
  }
  ::close(fd);
  return got == mark.size() && content.compare(0, got, mark) == 0;
}

bool TemporaryFiles::rename(const std::string& from, const std::string& to) {
  Registry& r = registry();
  const std::lock_guard<std::mutex> lock(r.mutex);
  if (std::rename(from.c_str(), to.c_str()) != 0) return false;
  r.files.erase(from);
  return true;
}

void TemporaryFiles::remove(const std::string& path) {
  Registry& r = registry();
  const std::lock_guard<std::mutex> lock(r.mutex);
  const auto found = r.files.find(path);
  if (found == r.files.end()) return;
  removeOne(path, found->second);
  r.files.erase(found);
}

void TemporaryFiles::forget(const std::string& path) {
  Registry& r = registry();
  const std::lock_guard<std::mutex> lock(r.mutex);
  r.files.erase(path);
}

std::size_t TemporaryFiles::removeAll(bool forEver) {
  Registry& r = registry();
  r.mutex.lock();
  std::size_t removed = 0;
  for (const auto& [path, mark] : r.files) removed += removeOne(path, mark) ? 1 : 0;
  r.files.clear();
  if (!forEver) r.mutex.unlock();
  return removed;
}

std::size_t TemporaryFiles::count() {
  Registry& r = registry();
  const std::lock_guard<std::mutex> lock(r.mutex);
  return r.files.size();
}

}  // namespace kelmira

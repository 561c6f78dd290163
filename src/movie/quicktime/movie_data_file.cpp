#include "movie/quicktime/movie_data_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <map>
#include <mutex>

namespace kelmira {

namespace {

struct Registry {
  std::mutex mutex;
  std::map<std::string, std::weak_ptr<MovieDataFile>> files;
};

Registry& registry() {
  static Registry instance;
  return instance;
}

std::shared_ptr<MovieDataFile> findOpen(const std::string& path) {
  Registry& r = registry();
  std::lock_guard lock(r.mutex);
  const auto it = r.files.find(path);
  return it == r.files.end() ? nullptr : it->second.lock();
}

void remember(const std::shared_ptr<MovieDataFile>& file) {
  Registry& r = registry();
  std::lock_guard lock(r.mutex);
  r.files[file->path()] = file;
}

}  // namespace

std::FILE* createFileNoFollow(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0666);
  if (fd < 0) return nullptr;
  std::FILE* file = ::fdopen(fd, "w+b");
  if (file == nullptr) {
    const int saved = errno;
    ::close(fd);
    errno = saved;
  }
  return file;
}

std::string normalizedMoviePath(const std::string& path) {
  std::error_code error;
  const std::filesystem::path absolute = std::filesystem::absolute(path, error);
  return (error ? std::filesystem::path(path) : absolute).lexically_normal().string();
}

MovieDataFile::~MovieDataFile() {
  closeMediaData();
  std::fclose(file_);
}

OSErr MovieDataFile::create(const std::string& path, std::shared_ptr<MovieDataFile>& file) {
  const std::string normal = normalizedMoviePath(path);
  std::FILE* handle = createFileNoFollow(normal);
  if (handle == nullptr) return errno == ENOENT ? fnfErr : ioErr;
  file.reset(new MovieDataFile(normal, handle));
  remember(file);
  return noErr;
}

OSErr MovieDataFile::openForAppend(const std::string& path, std::shared_ptr<MovieDataFile>& file) {
  const std::string normal = normalizedMoviePath(path);
  if ((file = findOpen(normal))) return noErr;
  std::FILE* handle = std::fopen(normal.c_str(), "r+b");
  if (handle == nullptr) return errno == ENOENT ? fnfErr : ioErr;
  file.reset(new MovieDataFile(normal, handle));
  if (fseeko(handle, 0, SEEK_END) != 0) return ioErr;
  file->end_ = static_cast<std::uint64_t>(ftello(handle));
  remember(file);
  return noErr;
}

void MovieDataFile::flushIfOpen(const std::string& path) {
  if (const auto file = findOpen(normalizedMoviePath(path))) file->flush();
}

OSErr MovieDataFile::writeAt(std::uint64_t at, const void* data, std::size_t size) {
  if (fseeko(file_, static_cast<off_t>(at), SEEK_SET) != 0) return ioErr;
  if (size != 0 && std::fwrite(data, 1, size, file_) != size) return ioErr;
  end_ = std::max(end_, at + size);
  return noErr;
}

OSErr MovieDataFile::appendSample(const void* data, std::size_t size, std::uint64_t& offset) {
  if (!mdatOpen_) {
    const std::uint8_t header[8] = {0, 0, 0, 8, 'm', 'd', 'a', 't'};  // size patched on close
    mdatStart_ = end_;
    if (const OSErr error = writeAt(end_, header, sizeof header)) return error;
    mdatOpen_ = true;
  }
  offset = end_;
  return writeAt(end_, data, size);
}

OSErr MovieDataFile::closeMediaData() {
  if (!mdatOpen_) return noErr;
  mdatOpen_ = false;
  const std::uint64_t size = end_ - mdatStart_;
  if (size > 0xFFFFFFFFu) return ioErr;
  ByteBuffer field;
  ByteWriter(field).u32(static_cast<std::uint32_t>(size));
  return writeAt(mdatStart_, field.data(), field.size());
}

OSErr MovieDataFile::appendAtom(const ByteBuffer& atom) {
  if (const OSErr error = closeMediaData()) return error;
  if (const OSErr error = writeAt(end_, atom.data(), atom.size())) return error;
  return flush();
}

OSErr MovieDataFile::flush() { return std::fflush(file_) == 0 ? noErr : ioErr; }

}  // namespace kelmira

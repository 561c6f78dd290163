#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include "movie/quicktime/big_endian.h"
#include "movie/quicktime/qt_types.h"

namespace kelmira {

// Creates or truncates a file for reading and writing without following a symbolic link
// at its name, so a link planted where a temporary goes cannot redirect the write.
std::FILE* createFileNoFollow(const std::string& path);

// A movie file that samples are being appended to. Samples go into an 'mdat' atom that
// is opened at the end of the file by the first sample and closed (its size patched)
// before anything else is appended or when the file is released.
class MovieDataFile {
 public:
  ~MovieDataFile();
  MovieDataFile(const MovieDataFile&) = delete;
  MovieDataFile& operator=(const MovieDataFile&) = delete;

  // Creates or truncates the file (never through a symbolic link).
  static OSErr create(const std::string& path, std::shared_ptr<MovieDataFile>& file);
  // The writer of an existing file: the one in use if any, else the file opened to append.
  static OSErr openForAppend(const std::string& path, std::shared_ptr<MovieDataFile>& file);
  // Flushes pending writes of that file if this process is writing it.
  static void flushIfOpen(const std::string& path);

  const std::string& path() const { return path_; }
  OSErr appendSample(const void* data, std::size_t size, std::uint64_t& offset);
  OSErr closeMediaData();
  // Appends a whole top-level atom after the media data.
  OSErr appendAtom(const ByteBuffer& atom);
  OSErr flush();

 private:
  MovieDataFile(std::string path, std::FILE* file) : path_(std::move(path)), file_(file) {}
  OSErr writeAt(std::uint64_t at, const void* data, std::size_t size);

  std::string path_;
  std::FILE* file_;
  std::uint64_t end_ = 0;
  std::uint64_t mdatStart_ = 0;
  bool mdatOpen_ = false;
};

// The absolute, normalised form under which files are compared.
std::string normalizedMoviePath(const std::string& path);

}  // namespace kelmira

#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

namespace kelmira {

// A byte stream over one file; the codecs use nothing else of the file.
class ImageStream {
 public:
  enum class Origin { Start, Current, End };

  explicit ImageStream(std::FILE* file) : file_(file) {}
  ~ImageStream();
  ImageStream(const ImageStream&) = delete;
  ImageStream& operator=(const ImageStream&) = delete;

  // Reads exactly count bytes; false when fewer are available.
  bool readExact(void* buffer, std::size_t count);
  // Reads up to count bytes and returns how many were read.
  std::size_t readSome(void* buffer, std::size_t count);
  bool write(const void* data, std::size_t count);
  bool seek(std::int64_t offset, Origin origin);
  std::int64_t tell() const;
  std::int64_t length() const;
  // Flushes and closes; false when buffered data could not be written.
  bool close();

 private:
  std::FILE* file_;
};

class LayerCall;

// An encoder's result: the length of what it wrote, or 0 with ImageError::FileWrite when unknown.
std::int64_t encodedLength(const ImageStream& stream, LayerCall& call);

// Both set the last error: 0, 1 (no memory for the stream) or 2 (cannot open).
std::unique_ptr<ImageStream> openForReading(const std::string& path);
std::unique_ptr<ImageStream> openForWriting(const std::string& path);
// Closes and releases the stream; ImageError::BadParameter when given none, FileWrite when the close failed.
bool closeStream(std::unique_ptr<ImageStream> stream);

}  // namespace kelmira

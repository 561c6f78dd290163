#include "image/image_stream.h"

#include <new>

#include "image/layer_state.h"

namespace kelmira {

ImageStream::~ImageStream() { close(); }

bool ImageStream::readExact(void* buffer, std::size_t count) {
  return readSome(buffer, count) == count;
}

std::size_t ImageStream::readSome(void* buffer, std::size_t count) {
  if (file_ == nullptr || count == 0) return 0;
  return std::fread(buffer, 1, count, file_);
}

bool ImageStream::write(const void* data, std::size_t count) {
  if (file_ == nullptr) return false;
  return count == 0 || std::fwrite(data, 1, count, file_) == count;
}

bool ImageStream::seek(std::int64_t offset, Origin origin) {
  if (file_ == nullptr) return false;
  const int whence = origin == Origin::Start ? SEEK_SET : origin == Origin::Current ? SEEK_CUR : SEEK_END;
  return fseeko(file_, static_cast<off_t>(offset), whence) == 0;
}

std::int64_t ImageStream::tell() const {
  return file_ == nullptr ? -1 : static_cast<std::int64_t>(ftello(file_));
}

std::int64_t ImageStream::length() const {
  if (file_ == nullptr) return -1;
  const off_t here = ftello(file_);
  if (fseeko(file_, 0, SEEK_END) != 0) return -1;
  const off_t end = ftello(file_);
  fseeko(file_, here, SEEK_SET);
  return static_cast<std::int64_t>(end);
}

bool ImageStream::close() {
  if (file_ == nullptr) return true;
  const bool ok = std::fclose(file_) == 0;
  file_ = nullptr;
  return ok;
}

namespace {

std::unique_ptr<ImageStream> openStream(const std::string& path, const char* mode) {
  LayerCall call;
  std::FILE* file = std::fopen(path.c_str(), mode);
  if (file == nullptr) {
    call.fail(ImageError::FileOpen);
    return nullptr;
  }
  auto stream = std::unique_ptr<ImageStream>(new (std::nothrow) ImageStream(file));
  if (!stream) {
    std::fclose(file);
    call.fail(ImageError::OutOfMemory);
  }
  return stream;
}

}  // namespace

std::unique_ptr<ImageStream> openForReading(const std::string& path) { return openStream(path, "rb"); }

// Read access too, because libtiff reads back what it wrote while writing.
std::unique_ptr<ImageStream> openForWriting(const std::string& path) { return openStream(path, "w+b"); }

std::int64_t encodedLength(const ImageStream& stream, LayerCall& call) {
  const std::int64_t length = stream.length();
  if (length >= 0) return length;
  call.fail(ImageError::FileWrite);
  return 0;
}

bool closeStream(std::unique_ptr<ImageStream> stream) {
  LayerCall call;
  if (!stream) {
    call.fail(ImageError::BadParameter);
    return false;
  }
  if (!stream->close()) {
    call.fail(ImageError::FileWrite);
    return false;
  }
  return true;
}

}  // namespace kelmira

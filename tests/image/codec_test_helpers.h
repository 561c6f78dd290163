#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "image/image_error.h"
#include "image/image_stream.h"
#include "image/layer_state.h"
#include "image/pixel_block.h"
#include "support/test_files.h"

namespace kelmira::test {

using Decoder = PixelBlock (*)(ImageStream&, std::int32_t&, std::int32_t&);

struct Decoded {
  PixelBlock pixels;
  std::int32_t width = -1;
  std::int32_t height = -1;
  ImageErrorCode error = static_cast<ImageErrorCode>(-1);

  Bytes bytes() const {
    if (!pixels) return {};
    return Bytes(pixels.get(), pixels.get() + std::size_t{3} * width * height);
  }
};

// Runs a decoder on a file and notes the last error before anything else can change it.
inline Decoded decodeFile(const std::string& path, Decoder decoder) {
  Decoded result;
  std::unique_ptr<ImageStream> stream = openForReading(path);
  if (!stream) {
    ADD_FAILURE() << "cannot open " << path;
    return result;
  }
  result.pixels = decoder(*stream, result.width, result.height);
  result.error = lastError();
  closeStream(std::move(stream));
  return result;
}

inline Decoded decodeBytes(const TempDir& dir, const Bytes& bytes, Decoder decoder) {
  const std::string path = dir.file("input.bin");
  writeFileBytes(path, bytes);
  return decodeFile(path, decoder);
}

// Opens a file for writing, runs an encoder on it and closes it; the encoder's last
// error comes back through `error`.
template <typename Encode>
std::int64_t encodeFile(const std::string& path, Encode&& encode, ImageErrorCode& error) {
  std::unique_ptr<ImageStream> stream = openForWriting(path);
  if (!stream) {
    ADD_FAILURE() << "cannot create " << path;
    return -1;
  }
  const std::int64_t written = encode(*stream);
  error = lastError();
  closeStream(std::move(stream));
  return written;
}

// Installs a progress callback for one scope.
class ScopedProgress {
 public:
  explicit ScopedProgress(ProgressCallback callback) { setProgressCallback(std::move(callback)); }
  ~ScopedProgress() { setProgressCallback({}); }
  ScopedProgress(const ScopedProgress&) = delete;
  ScopedProgress& operator=(const ScopedProgress&) = delete;
};

}  // namespace kelmira::test

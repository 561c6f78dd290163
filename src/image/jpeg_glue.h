#pragma once

// What every libjpeg user here needs: an error manager that turns the library's fatal
// errors into a jump back to the step that failed, and a destination manager that hands
// the compressed bytes to a writer in chunks. The image codec and the movie's Photo-JPEG
// compressor both use it.
#include <csetjmp>
#include <cstddef>
#include <cstdint>
#include <cstdio>

#include <jpeglib.h>

namespace kelmira {

struct JpegErrorManager {
  jpeg_error_mgr pub;
  std::jmp_buf jump;
  // A scan ended before its last block (libjpeg warns and paints the rest flat).
  bool dataRanOut;
};

// Fills `errors` and gives the pointer to store in the codec object's `err`.
jpeg_error_mgr* installJpegErrorManager(JpegErrorManager& errors);

// Runs one library step; false when the library gave up. Nothing with a destructor may
// live inside `step`, because the jump skips it.
template <typename Step>
bool guardedJpegStep(JpegErrorManager& errors, Step&& step) {
  if (setjmp(errors.jump) != 0) return false;
  step();
  return true;
}

// Where compressed bytes go; false stops the compressor with a write error.
class JpegByteWriter {
 public:
  virtual ~JpegByteWriter() = default;
  virtual bool write(const std::uint8_t* bytes, std::size_t count) = 0;
};

struct JpegChunkDestination {
  static constexpr std::size_t kChunkBytes = 16384;
  jpeg_destination_mgr pub;
  JpegByteWriter* writer;
  JOCTET chunk[kChunkBytes];
};

// Makes `info` compress into `writer` through `destination`, which must outlive the compression.
void attachJpegDestination(jpeg_compress_struct& info, JpegChunkDestination& destination, JpegByteWriter& writer);

}  // namespace kelmira

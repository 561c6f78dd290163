#include "image/codec_dispatch.h"

#include "image/file_format.h"
#include "image/layer_state.h"

namespace kelmira {

// The codecs are called as the outermost operation, not inside a LayerCall of our
// own: only the outermost operation reports progress, and the caller installs its
// progress report around exactly this call.

PixelBlock decodeStream(ImageStream& stream, FileType type, std::int32_t& width, std::int32_t& height) {
  if (const FileFormat* format = fileFormatOf(type); format != nullptr && format->decode != nullptr) {
    return format->decode(stream, width, height);
  }
  LayerCall call;
  call.keepPreviousError();
  width = 0;
  height = 0;
  return nullptr;
}

std::int64_t encodeStream(ImageStream& stream, FileType type, const std::uint8_t* pixels, std::int32_t width,
                          std::int32_t height, const RowGate* rowsReady, const EmbeddedMetadata& metadata) {
  const FileFormat* format = fileFormatOf(type);
  const StreamEncoder encode = format != nullptr ? format->encode : nullptr;
  if (encode != nullptr && format->encodesRowsAsTheyArrive) {
    return encode(stream, pixels, width, height, metadata, rowsReady);
  }
  if (rowsReady != nullptr && !rowsReady->waitFor(height)) {
    LayerCall call;
    call.fail(ImageError::Aborted);
    return 0;
  }
  if (encode != nullptr) return encode(stream, pixels, width, height, metadata, nullptr);
  LayerCall call;
  call.keepPreviousError();
  return 0;
}

}  // namespace kelmira

#include "image/codec_dispatch.h"

#include "image/bmp_codec.h"
#include "image/jpeg_codec.h"
#include "image/layer_state.h"
#include "image/pcx_codec.h"
#include "image/png_codec.h"
#include "image/tga_codec.h"
#include "image/tiff_codec.h"

namespace kelmira {

// The codecs are called as the outermost operation, not inside a LayerCall of our
// own: only the outermost operation reports progress, and the caller installs its
// progress report around exactly this call.

PixelBlock decodeStream(ImageStream& stream, FileType type, std::int32_t& width, std::int32_t& height) {
  switch (type) {
    case FileTypeJpeg: return readJpeg(stream, width, height);
    case FileTypeBmp: return readBmp(stream, width, height);
    case FileTypeTiff: return readTiff(stream, width, height);
    case FileTypePng: return readPng(stream, width, height);
    case FileTypePcx: return readPcx(stream, width, height);
    case FileTypeTga: return readTga(stream, width, height);
    default: break;
  }
  LayerCall call;
  call.keepPreviousError();
  width = 0;
  height = 0;
  return nullptr;
}

std::int64_t encodeStream(ImageStream& stream, FileType type, const std::uint8_t* pixels, std::int32_t width,
                          std::int32_t height, const RowGate* rowsReady) {
  // JPEG takes rows as they come; BMP files are stored bottom row first, and TIFF is quick.
  if (type == FileTypeJpeg) return writeJpeg(stream, pixels, width, height, 100, true, {}, rowsReady);
  if (rowsReady != nullptr && !rowsReady->waitFor(height)) {
    LayerCall call;
    call.fail(ImageError::Aborted);
    return 0;
  }
  switch (type) {
    case FileTypeBmp: return writeBmp(stream, pixels, width, height);
    case FileTypeTiff: return writeTiff(stream, pixels, width, height);
    default: break;
  }
  LayerCall call;
  call.keepPreviousError();
  return 0;
}

}  // namespace kelmira

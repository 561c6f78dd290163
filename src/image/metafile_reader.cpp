#include "image/metafile_reader.h"

#include <memory>
#include <utility>

#include "image/image_stream.h"
#include "image/layer_state.h"

namespace kelmira {

namespace {

// Loading, making the bitmap, playing the records, fetching the pixels.
constexpr std::int32_t kStages = 4;

}  // namespace

PixelBlock readMetafile(const std::string& path, std::int32_t, std::int32_t, RgbColour, std::int32_t& width,
                        std::int32_t& height) {
  LayerCall call;
  width = 0;
  height = 0;
  std::unique_ptr<ImageStream> stream = openForReading(path);
  if (!stream) {
    call.fail(ImageError::FileOpen);
    return nullptr;
  }
  closeStream(std::move(stream));
  if (!call.progress(0, kStages)) return nullptr;
  call.fail(ImageError::BadMetafile);
  return nullptr;
}

}  // namespace kelmira

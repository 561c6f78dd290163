#include "mirror/calibrated_unwarp.h"

#include "image/dib_image.h"
#include "image/image_error.h"
#include "mirror/round_remap.h"

namespace kelmira {

int makeCalibratedPanorama(const DibImage& round, const CalibratedPanorama& plan, DibImage& panorama,
                           const RowProgress& progress, PanoramaRowListener* listener) {
  if (!round.hasPixels() || round.width() != plan.photo().width || round.height() != plan.photo().height) return -1;
  SourceMap map;
  if (!plan.buildSourceMap(map)) return -1;
  // Held: the progress report lets the window run commands that may replace the picture.
  const HeldPixels from = round.hold();
  DibImage made;
  if (made.allocate(plan.width(), plan.height()) != ImageError::None) return -1;
  const SourceView source{from.pixels(), static_cast<std::uint32_t>(from.width),
                         static_cast<std::uint32_t>(from.height), 3, 3u * static_cast<std::size_t>(from.width)};
  const ImageView target{made.beginAccess(), static_cast<std::uint32_t>(plan.width()),
                         static_cast<std::uint32_t>(plan.height()), 3, 3u * static_cast<std::size_t>(plan.width())};
  if (listener != nullptr) listener->started(made);
  RowsFinished finished;
  if (listener != nullptr) finished = [&](std::uint32_t rows) { listener->rowsFinished(static_cast<std::int32_t>(rows)); };
  const bool done = remapRound(source, map, target, progress, finished);
  made.endAccess();
  if (!done) return -1;
  made.buildPalette();
  panorama.swap(made);
  return 0;
}

}  // namespace kelmira

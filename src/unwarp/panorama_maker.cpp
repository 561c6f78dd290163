#include "unwarp/panorama_maker.h"

#include <algorithm>
#include <cmath>

#include "image/dib_image.h"
#include "image/geometry_ops.h"
#include "image/image_error.h"
#include "unwarp/mirror_profile_table.h"

namespace kelmira {

CropCircle initialCropCircle(std::int32_t width, std::int32_t height) {
  const std::int32_t smaller = std::min(width, height);
  const std::int32_t larger = std::max(width, height);
  CropCircle circle;
  circle.centreX = width / 2;
  circle.centreY = height / 2;
  circle.radius = static_cast<std::int32_t>(smaller / 2 - 0.1 * smaller);
  circle.centreHandleSize = larger;
  return circle;
}

CropCircle cropCircleOnRing(std::int32_t width, std::int32_t height, double centreX, double centreY, double ringRadius) {
  CropCircle circle;
  circle.centreX = static_cast<std::int32_t>(std::lround(centreX));
  circle.centreY = static_cast<std::int32_t>(std::lround(centreY));
  // floor(R) - 0.2 R: with R = m / 2 exactly the integer halving and the 0.1 m of the
  // circle placed without a ring.
  circle.radius = static_cast<std::int32_t>(std::floor(ringRadius) - 0.2 * ringRadius);
  circle.centreHandleSize = std::max(width, height);
  return circle;
}

bool looksLikePanorama(std::int32_t width, std::int32_t height) {
  return height > 0 && static_cast<double>(width) / height > 2;
}

PanoramaSize panoramaSizeForRadius(std::int32_t radius) {
  return {static_cast<std::int32_t>(0.6 * radius * mirror_model::twoPi), static_cast<std::int32_t>(0.6 * radius)};
}

int makePanoramaImage(const DibImage& round, std::int32_t centreX, std::int32_t centreY, std::int32_t radius,
                      bool lensThread, DibImage& panorama, const RowProgress& progress,
                      std::optional<double> ringRadius, PanoramaRowListener* listener) {
  if (!round.hasPixels()) return -1;
  const PanoramaSize size = panoramaSizeForRadius(radius);
  // Rendered into blocks of its own: the progress report lets the window run commands
  // between rows, and none of them may pull either picture away mid-way.
  const HeldPixels from = round.hold();
  DibImage made;
  if (made.allocate(size.width, size.height) != ImageError::None) return -1;
  const SourceView source{from.pixels(), static_cast<std::uint32_t>(from.width),
                         static_cast<std::uint32_t>(from.height), 3, 3u * static_cast<std::size_t>(from.width)};
  const ImageView target{made.beginAccess(), static_cast<std::uint32_t>(size.width),
                         static_cast<std::uint32_t>(size.height), 3, 3u * static_cast<std::size_t>(size.width)};
  std::optional<double> scale;
  if (ringRadius) scale = ringScaleForRadius(*ringRadius);
  if (listener != nullptr) listener->started(made);
  // Rows are mirrored as they are finished, so that a listener sees them as they stay.
  std::uint32_t mirroredRows = 0;
  RowsFinished finished;
  if (lensThread || listener != nullptr) {
    finished = [&](std::uint32_t rows) {
      if (lensThread) {
        mirrorRows(target.pixels + mirroredRows * (3 * std::size_t{target.width}), size.width,
                   static_cast<std::int32_t>(rows - mirroredRows));
        mirroredRows = rows;
      }
      if (listener != nullptr) listener->rowsFinished(static_cast<std::int32_t>(rows));
    };
  }
  unwarpRing(source, target, static_cast<double>(centreX), static_cast<double>(centreY), progress, scale, finished);
  made.endAccess();
  made.buildPalette();
  panorama.swap(made);
  return 0;
}

}  // namespace kelmira

#include "workspace/panorama_maker.h"

#include <algorithm>

#include "image/dib_image.h"
#include "image/image_error.h"
#include "workspace/mirror_profile_table.h"

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

bool looksLikePanorama(std::int32_t width, std::int32_t height) {
  return height > 0 && static_cast<double>(width) / height > 2;
}

PanoramaSize panoramaSizeForRadius(std::int32_t radius) {
  return {static_cast<std::int32_t>(0.6 * radius * mirror_model::twoPi), static_cast<std::int32_t>(0.6 * radius)};
}

int makePanoramaImage(DibImage& round, std::int32_t centreX, std::int32_t centreY, std::int32_t radius,
                      bool lensThread, DibImage& panorama, const RowProgress& progress) {
  if (!round.hasPixels()) return -1;
  const PanoramaSize size = panoramaSizeForRadius(radius);
  if (panorama.allocate(size.width, size.height) != ImageError::None) return -1;
  const ImageView source{round.beginAccess(), static_cast<std::uint32_t>(round.width()),
                         static_cast<std::uint32_t>(round.height()), 3, 3u * static_cast<std::size_t>(round.width())};
  const ImageView target{panorama.beginAccess(), static_cast<std::uint32_t>(size.width),
                         static_cast<std::uint32_t>(size.height), 3, 3u * static_cast<std::size_t>(size.width)};
  unwarpRing(source, target, static_cast<double>(centreX), static_cast<double>(centreY), progress);
  panorama.endAccess();
  round.endAccess();
  if (lensThread) panorama.mirrorHorizontally();
  panorama.buildPalette();
  return 0;
}

}  // namespace kelmira

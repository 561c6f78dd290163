#include "sphere/sphere_photo.h"

#include <algorithm>
#include <cmath>
#include <locale>
#include <sstream>

#include "metadata/result_metadata.h"

namespace kelmira {

bool makeSpherePhoto(const DibImage& panorama, const RowElevations& rows, DibImage& photo, SphereFrame& frame) {
  if (!panorama.hasPixels() || rows.size() != static_cast<std::size_t>(panorama.height()) || panorama.width() < 2) {
    return false;
  }
  SphereFrame made;
  made.fullWidth = panorama.width();
  made.fullHeight = panorama.width() / 2;
  // The sphere's rows whose middles lie within the panorama's elevations.
  const double rowsPerDegree = made.fullHeight / 180.0;
  made.top = static_cast<std::int32_t>(std::ceil((90.0 - rows.top()) * rowsPerDegree - 0.5));
  const auto last = static_cast<std::int32_t>(std::floor((90.0 - rows.bottom()) * rowsPerDegree - 0.5));
  made.height = last - made.top + 1;
  if (made.height <= 0) return false;

  DibImage result;
  if (result.allocate(made.fullWidth, made.height) != ImageError::None) return false;
  const std::int32_t width = panorama.width();
  const std::size_t stride = 3 * static_cast<std::size_t>(width);
  const std::uint8_t* from = panorama.pixels();
  std::uint8_t* out = result.beginAccess();
  for (std::int32_t y = 0; y < made.height; ++y, out += stride) {
    const double row = rows.rowAt(made.elevationOfRow(made.top + y));
    const auto upper = static_cast<std::size_t>(row);
    const std::size_t lower = std::min(upper + 1, rows.size() - 1);
    const double f = row - static_cast<double>(upper);
    const std::uint8_t* a = from + upper * stride;
    const std::uint8_t* b = from + lower * stride;
    for (std::size_t k = 0; k < stride; ++k) {
      out[k] = static_cast<std::uint8_t>(std::lround(a[k] + (b[k] - a[k]) * f));
    }
  }
  result.endAccess();
  photo.swap(result);
  frame = made;
  return true;
}

std::string photoSphereDescription(const SphereFrame& frame) {
  std::ostringstream xmp;
  xmp.imbue(std::locale::classic());  // no digit grouping, whatever the program's locale
  xmp << "  <rdf:Description rdf:about=\"\" xmlns:GPano=\"http://ns.google.com/photos/1.0/panorama/\">\n"
         "   <GPano:ProjectionType>equirectangular</GPano:ProjectionType>\n"
         "   <GPano:UsePanoramaViewer>True</GPano:UsePanoramaViewer>\n"
      << "   <GPano:FullPanoWidthPixels>" << frame.fullWidth << "</GPano:FullPanoWidthPixels>\n"
      << "   <GPano:FullPanoHeightPixels>" << frame.fullHeight << "</GPano:FullPanoHeightPixels>\n"
      << "   <GPano:CroppedAreaImageWidthPixels>" << frame.fullWidth << "</GPano:CroppedAreaImageWidthPixels>\n"
      << "   <GPano:CroppedAreaImageHeightPixels>" << frame.height << "</GPano:CroppedAreaImageHeightPixels>\n"
      << "   <GPano:CroppedAreaLeftPixels>0</GPano:CroppedAreaLeftPixels>\n"
      << "   <GPano:CroppedAreaTopPixels>" << frame.top << "</GPano:CroppedAreaTopPixels>\n"
      << "  </rdf:Description>\n";
  return xmp.str();
}

std::string photoSphereXmp(const SphereFrame& frame) { return xmpPacketAround(photoSphereDescription(frame)); }

EmbeddedMetadata spherePhotoMetadata(const DibImage& photo, const SphereFrame& frame, const PhotoMetadata& metadata) {
  return metadataForResult(metadata, photo.width(), photo.height(), photoSphereDescription(frame));
}

ImageErrorCode makeSpherePhotoToSave(const DibImage& panorama, const RowElevations& rows, DibImage& photo,
                                     SphereFrame& frame, SphereFrame* made) {
  if (!panorama.hasPixels() || rows.size() != static_cast<std::size_t>(panorama.height())) {
    return ImageError::BadParameter;
  }
  if (!makeSpherePhoto(panorama, rows, photo, frame)) return ImageError::OutOfMemory;
  if (made != nullptr) *made = frame;
  return ImageError::None;
}

ImageErrorCode saveSpherePhoto(const DibImage& panorama, const RowElevations& rows, const std::string& path,
                               int quality, ProgressSink* progress, SphereFrame* made, const PhotoMetadata& metadata) {
  DibImage photo;
  SphereFrame frame;
  if (const ImageErrorCode code = makeSpherePhotoToSave(panorama, rows, photo, frame, made); code != ImageError::None) {
    return code;
  }
  return photo.saveAsJpeg(path, quality, spherePhotoMetadata(photo, frame, metadata), progress);
}

}  // namespace kelmira

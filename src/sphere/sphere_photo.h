#pragma once

#include <string>

#include "image/dib_image.h"
#include "metadata/photo_metadata.h"
#include "unwarp/row_elevations.h"

namespace kelmira {

class ProgressSink;

// Where a 360-degree photo lies on the whole sphere: the sphere would be fullWidth x
// fullHeight pixels (fullHeight = fullWidth / 2) and the photo is its rows top to
// top + height - 1, every column of it.
struct SphereFrame {
  std::int32_t fullWidth = 0;
  std::int32_t fullHeight = 0;
  std::int32_t top = 0;
  std::int32_t height = 0;
  // The elevation of sphere row y, at the middle of the row.
  double elevationOfRow(double y) const { return 90.0 - (y + 0.5) * 180.0 / fullHeight; }
  // The elevations the photo covers, and its middle one, in degrees.
  double verticalAngle() const { return height * 180.0 / fullHeight; }
  double centreElevation() const { return 90.0 - (top + height / 2.0) * 180.0 / fullHeight; }
};

// The equirectangular 360-degree photo of a panorama whose rows look at `rows`: as wide as
// the panorama, each row of it at the elevation it stands for, its pixels taken from the
// panorama column by column, between the two rows round that elevation. False, with
// nothing made, when the panorama is empty or its rows are unknown.
bool makeSpherePhoto(const DibImage& panorama, const RowElevations& rows, DibImage& photo, SphereFrame& frame);

// makeSpherePhoto for a save: ImageError::BadParameter for an empty panorama or rows that are
// not its rows, OutOfMemory when the photo cannot be made; `made`, when given, receives the frame.
ImageErrorCode makeSpherePhotoToSave(const DibImage& panorama, const RowElevations& rows, DibImage& photo,
                                     SphereFrame& frame, SphereFrame* made);

// The rdf:Description of Google's Photo Sphere GPano fields that makes viewers show a photo
// so framed as a 360-degree panorama, and the XMP packet of it alone.
std::string photoSphereDescription(const SphereFrame& frame);
std::string photoSphereXmp(const SphereFrame& frame);

// The 360-degree photo as a JPEG: its Photo Sphere fields beside what it carries of the
// photograph (metadataForResult).
EmbeddedMetadata spherePhotoMetadata(const DibImage& photo, const SphereFrame& frame, const PhotoMetadata& metadata);

// Makes the 360-degree photo of the panorama and writes it as a JPEG with its Photo Sphere
// metadata and what it carries of the photograph; the file is replaced only when complete.
// `made`, when given, receives where the photo lies on the sphere. An image layer code.
ImageErrorCode saveSpherePhoto(const DibImage& panorama, const RowElevations& rows, const std::string& path,
                               int quality, ProgressSink* progress = nullptr, SphereFrame* made = nullptr,
                               const PhotoMetadata& metadata = PhotoMetadata::none());

inline constexpr int kDefaultSphereQuality = 92;

}  // namespace kelmira

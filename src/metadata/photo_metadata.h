#pragma once

#include <optional>
#include <string>

namespace kelmira {

// Where on the earth a photograph was taken, in degrees, north and east positive.
struct GeoPosition {
  double latitude = 0;
  double longitude = 0;
};

// What a photograph says of itself beyond its pixels: read once when it is opened
// (readPhotoMetadata), carried into every result made from it, where each writer that can
// hold it embeds what metadataForResult makes of it.
struct PhotoMetadata {
  std::string exif;        // a TIFF structure, as a JPEG's APP1 Exif segment holds it
  std::string iptc;        // IPTC-IIM datasets
  std::string xmp;         // the XMP packet
  std::string iccProfile;  // the colour profile, whole
  int orientation = 1;     // EXIF's: how the stored pixels are turned (image/upright.h)
  // What people are shown of it; empty, or none, when the photograph does not say.
  std::string captureTime;  // "2021-06-05 14:03:22"
  std::string camera;       // "Canon EOS R6"
  std::string placeName;    // "Oslo, Norway"
  std::optional<GeoPosition> position;

  // Nothing to carry: a result made from it is the same file as from a photograph without any.
  bool empty() const { return exif.empty() && iptc.empty() && xmp.empty() && iccProfile.empty(); }
  static const PhotoMetadata& none() {
    static const PhotoMetadata nothing;
    return nothing;
  }
};

// Where it was taken, for people, the same in every locale: "Oslo, Norway, 59.91387° N,
// 10.75225° E"; empty when it does not say.
std::string placeText(const PhotoMetadata& metadata);

}  // namespace kelmira

#pragma once

#include <string>

namespace kelmira {

// What a photograph says of itself beyond its pixels, carried into every result made from
// it. No reader keeps any yet: the EXIF and ICC readers fill it, the writers that can hold
// it copy it, and nothing in between changes.
struct PhotoMetadata {
  std::string exif;        // the APP1 Exif block's TIFF structure, as read
  std::string iccProfile;  // the colour profile, whole
  bool empty() const { return exif.empty() && iccProfile.empty(); }
  static const PhotoMetadata& none() {
    static const PhotoMetadata nothing;
    return nothing;
  }
};

}  // namespace kelmira
